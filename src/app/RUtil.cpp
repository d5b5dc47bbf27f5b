#include "RUtil.h"

#include "Logger.h"
#include "Options.h"
#include "TestResult.pb.h"
#include "WholeFile.h"

#include <QByteArray>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>

#include <limits>
#include <ostream>
#include <sstream>
#include <string>

namespace {

const int timeoutMs = 5000;

void logError(const QString& text)
{
    emit Logger::logger->log(Logger::L_ERROR, text);
}

const char* scoreWord(int score)
{
    switch (score) {
    case R_PASS:
        return "PASS";
    case R_FAIL:
        return "FAIL";
    default:
        return "UNKNOWN";
    }
}

const char* levelWord(int level)
{
    switch (level) {
    case L_WARNING:
        return "WARNING";
    case L_ERROR:
        return "ERROR";
    default:
        return "UNKNOWN";
    }
}

void write(std::ostream& out, const TestResultGroup& group, int depth)
{
    static const QByteArray unit = QString("  ").toLocal8Bit();
    std::string indent;
    for (int i = 0; i < depth; ++i)
        indent.append(unit.constData(), size_t(unit.size()));

    out << indent << group.name() << ":" << '\n' << std::flush;
    out << '\n' << std::flush;
    for (const TestResult& result : group.results()) {
        out << indent << "  " << result.name() << ": " << scoreWord(result.score()) << '\n'
            << std::flush;
        out << indent << "    " << result.description() << '\n' << std::flush;
        for (const LogEntry& entry : result.logs())
            out << indent << "      " << levelWord(entry.level()) << ": " << entry.text() << '\n'
                << std::flush;
        out << '\n' << std::flush;
    }
    for (const TestResultGroup& subgroup : group.subgroup())
        write(out, subgroup, depth + 1);
}

// Sends one frame to host:port. The port must already be known to fit a TCP port.
void report(const QByteArray& payload, const QString& host, int port)
{
    QTcpSocket socket;
    QDataStream stream(&socket);
    stream.setByteOrder(QDataStream::BigEndian);

    socket.connectToHost(host, quint16(port), QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    if (!socket.waitForConnected(timeoutMs)) {
        logError(QString("Could not connect to %1:%2 to report test results. %3")
                     .arg(host, QString::number(port), socket.errorString()));
        return;
    }

    // Counted as the socket hands bytes to the system; after a failed write (the server reset
    // the connection) the socket throws away what is left, so only the count tells that the
    // frame was cut.
    qint64 written = 0;
    QObject::connect(&socket, &QAbstractSocket::bytesWritten,
                     [&written](qint64 bytes) { written += bytes; });
    stream << qint32(payload.size());
    socket.write(payload);
    socket.flush();

    // Each wait returns once some bytes have gone; the frame is waited for until it is out, the
    // socket fails or the time for writing is up, so that a server that reads a byte now and
    // then cannot hold the run.
    const QDeadlineTimer deadline(timeoutMs);
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired() &&
           socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime())))) {
    }
    if (written < qint64(sizeof(qint32)) + payload.size())
        logError(QString("Could not write data to network. %1").arg(socket.errorString()));

    socket.disconnectFromHost();
    // With nothing left to send the socket closes at once; only a pending close is waited for.
    if (socket.state() != QAbstractSocket::UnconnectedState &&
        !socket.waitForDisconnected(timeoutMs))
        logError(QString("Disconnect problem. %1").arg(socket.errorString()));

    socket.close();
}

} // namespace

bool RUtil::writeResultsFile(const QString& path, const TestResultGroup& group)
{
    std::ostringstream text;
    write(text, group, 0);
    // Written whole or not at all: a failure (a full disk, the file size limit) leaves no cut
    // file that would pass for the results.
    switch (WholeFile::write(path, QByteArray::fromStdString(text.str()))) {
    case WholeFile::NotOpened:
        logError(QString("Unable to open results file for writing %1").arg(path));
        return false;
    case WholeFile::NotWritten:
        logError(QString("Could not write results file %1").arg(path));
        return false;
    case WholeFile::Written:
        break;
    }
    return true;
}

namespace {

QString resultsFilePath()
{
    return Options::opts->logDir + "/results.txt";
}

} // namespace

void discardResults()
{
    // A link, a device or a pipe in its place is the user's own arrangement, which the new
    // results go through; only a file that an earlier run wrote is removed.
    const QFileInfo earlier(resultsFilePath());
    if (earlier.isFile() && !earlier.isSymLink())
        QFile::remove(earlier.filePath());
}

bool store(const TestResultGroup& root)
{
    const Options& o = *Options::opts;
    const bool written = RUtil::writeResultsFile(resultsFilePath(), root);

    if (o.port == 0)
        return written;

    std::string bytes;
    // The length travels as a signed 32-bit number, so a larger payload cannot be framed.
    if (!root.SerializeToString(&bytes) ||
        bytes.size() > size_t(std::numeric_limits<qint32>::max())) {
        logError("Could not serialize test results.");
        return written;
    }

    // A TCP port is 16 bits wide: a larger number must not wrap round to some other port.
    if (o.port < 1 || o.port > 65535) {
        logError(QString("Could not connect to %1:%2 to report test results. %3")
                     .arg(o.host, QString::number(o.port),
                          QString("The port is out of range: it must be between 1 and 65535.")));
        return written;
    }

    report(QByteArray(bytes.data(), int(bytes.size())), o.host, o.port);
    return written;
}
