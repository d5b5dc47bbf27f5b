#include "ListContentsWorker.h"

#include "Class.h"
#include "ClassLoader.h"
#include "Classpath.h"
#include "JavaClassLoader.h"
#include "Logger.h"
#include "ThreadCrew.h"

#include <QMap>
#include <QVector>

#include <cerrno>
#include <cstdio>
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
          texts(size_t(pieces)), crew(threads),
          tasks(&crew, pieces, [this](int i) { texts[size_t(i)] = make(i); })
    {
    }

    int count() const { return pieces; }

    // The text of piece `i`; the pieces are taken in order. Makes pieces that nobody has taken
    // yet rather than wait idle, and throws what making piece `i` threw.
    QByteArray take(int i)
    {
        tasks.waitFor(i);
        QByteArray text;
        text.swap(texts[size_t(i)]);
        return text;
    }

private:
    QByteArray make(int i) const
    {
        QByteArray text;
        const int end = qMin(classes.size(), (i + 1) * linesPerPiece);
        for (int c = i * linesPerPiece; c < end; ++c) {
            text += classes.at(c)->getName().toString().toLocal8Bit();
            text += '\n';
        }
        return text;
    }

    const QVector<Class*>& classes;
    const int pieces;
    // Each piece's, written by whoever makes it.
    std::vector<QByteArray> texts;
    ThreadCrew crew;
    // Last: however the listing ends, the pieces being made are done before anything they use
    // goes.
    ThreadCrew::Tasks tasks;
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
    // Loading has ended, but the lines it logged may still wait for the main thread to write
    // them. The listing starts after the last of them, so that its output is the same each run.
    Logger::logger->waitUntilWritten();
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
