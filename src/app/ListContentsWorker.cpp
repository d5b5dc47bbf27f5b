#include "ListContentsWorker.h"

#include "Class.h"
#include "ClassLoader.h"
#include "Classpath.h"
#include "JavaClassLoader.h"
#include "Logger.h"

#include <QMap>
#include <QMutex>
#include <QRunnable>
#include <QThreadPool>
#include <QVector>
#include <QWaitCondition>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

namespace {

// Classes whose lines are made in one piece.
const int linesPerPiece = 256;

// The lines of the classes, made on several threads, in pieces that `take` hands out in order.
class LineMaker
{
public:
    LineMaker(const QVector<Class*>& classes, int threads)
        : classes(classes), pieces((classes.size() + linesPerPiece - 1) / linesPerPiece),
          texts(size_t(pieces)), failures(size_t(pieces)), made(new bool[size_t(pieces)]())
    {
        pool.setMaxThreadCount(threads);
        for (int t = 0; t < threads; ++t)
            pool.start(QRunnable::create([this] {
                while (makeOne()) {
                }
            }));
    }

    // Waits for the threads, however the listing ends.
    ~LineMaker()
    {
        next.store(pieces);
        pool.waitForDone();
    }

    int count() const { return pieces; }

    // The text of piece `i`, made by now; the pieces are taken in order.
    QByteArray take(int i)
    {
        // Makes pieces nobody has taken yet meanwhile, rather than wait idle.
        while (!isMade(i)) {
            if (makeOne())
                continue;
            QMutexLocker locker(&lock);
            while (!made[size_t(i)])
                changed.wait(&lock);
        }
        if (failures[size_t(i)])
            std::rethrow_exception(failures[size_t(i)]);
        QByteArray text;
        text.swap(texts[size_t(i)]);
        return text;
    }

private:
    bool isMade(int i)
    {
        QMutexLocker locker(&lock);
        return made[size_t(i)];
    }

    // Makes the next piece not taken yet; false when there is none.
    bool makeOne()
    {
        const int i = next++;
        if (i >= pieces)
            return false;
        QByteArray text;
        std::exception_ptr failure;
        try {
            const int end = qMin(classes.size(), (i + 1) * linesPerPiece);
            for (int c = i * linesPerPiece; c < end; ++c) {
                text += classes.at(c)->getName().toString().toLocal8Bit();
                text += '\n';
            }
        } catch (...) {
            failure = std::current_exception();
        }
        QMutexLocker locker(&lock);
        texts[size_t(i)].swap(text);
        failures[size_t(i)] = failure;
        made[size_t(i)] = true;
        changed.wakeAll();
        return true;
    }

    const QVector<Class*>& classes;
    const int pieces;
    std::atomic<int> next{0};
    QMutex lock;
    QWaitCondition changed;
    // Under the lock.
    std::vector<QByteArray> texts;
    std::vector<std::exception_ptr> failures;
    std::unique_ptr<bool[]> made;
    // Last: its threads are gone before anything they use.
    QThreadPool pool;
};

} // namespace

ListContentsWorker::ListContentsWorker(const Classpath& classpath, QObject* parent)
    : Worker(parent), classpath(classpath)
{
}

ListContentsWorker::~ListContentsWorker()
{
    stop();
}

void ListContentsWorker::doWork()
{
    // The loader goes, with every class it made, however the listing ends.
    std::unique_ptr<ClassLoader> loader(ClassLoader::create(classpath));
    loader->loadAllClasses();
    const QMap<QString, Class*> classes = loader->getAllClasses();
    // The main thread writes console log lines to the same standard output meanwhile. The C
    // stream takes each call whole under its lock, so lines gathered whole and written in one
    // call can never have a log line land inside one of them. The batches stay small so that
    // the listing reaches the console as it goes.
    const int batchBytes = 16 * 1024;
    QByteArray batch;
    batch.reserve(batchBytes + 1024);
    // A listing that cannot be written (a full disk, the file size limit) is lost: that is said
    // once, and the run ends with status 1. Nothing more is written after a failure.
    bool lost = false;
    const auto write = [this, &batch, &lost] {
        if (!lost && (std::fwrite(batch.constData(), 1, size_t(batch.size()), stdout) !=
                          size_t(batch.size()) ||
                      std::fflush(stdout) != 0)) {
            const int error = errno;
            lost = true;
            setExitStatus(1);
            emit Logger::logger->log(
                Logger::L_ERROR,
                QString("Could not write to standard output - %1").arg(qt_error_string(error)));
        }
        batch.resize(0); // keeps the reserved room
    };
    // Making a class's line reads nothing but that class, so the lines are made on the threads
    // that parse, a piece at a time, and written here in order.
    const int threads = JavaClassLoader::parsingThreads();
    if (threads > 1 && classes.size() > linesPerPiece) {
        const QVector<Class*> list = QVector<Class*>::fromList(classes.values());
        LineMaker lines(list, threads - 1);
        for (int i = 0; i < lines.count(); ++i) {
            batch += lines.take(i);
            if (batch.size() >= batchBytes)
                write();
        }
    } else {
        for (auto it = classes.constBegin(); it != classes.constEnd(); ++it) {
            batch += it.value()->getName().toString().toLocal8Bit();
            batch += '\n';
            if (batch.size() >= batchBytes)
                write();
        }
    }
    if (!batch.isEmpty())
        write();
}
