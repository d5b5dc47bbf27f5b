#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Writes the files that later runs and users read as complete (gold files, results): a file is
// either written whole or left as it was. The bytes go to a temporary file beside the target,
// which is renamed onto it only once everything has been written, so a full disk or the file
// size limit never leaves a cut file behind. A device or a pipe standing in for the file cannot
// be replaced by a rename; it is written in place.
class WholeFile
{
public:
    enum Outcome { Written, NotOpened, NotWritten };

    // Opens `path` as above and hands `writeTo` the descriptor to write to; `writeTo` says
    // whether everything went.
    static Outcome write(const QString& path, const std::function<bool(int fd)>& writeTo);
    static Outcome write(const QString& path, const QByteArray& bytes);
};
