// velm-sig2class: makes loadable class files from API signature files.
//
//   velm-sig2class <input.sig> <output.class>
//   velm-sig2class <input directory> <output directory>
//
// With directories, every file ending in .sig below the input directory (symbolic links are not
// followed) becomes a file ending in .class at the same relative path below the output
// directory. Each output file is written completely or not at all. Every file that cannot be
// converted is named on standard error with the reason; the exit status is then 1.

#include "SigConverter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cstdio>

namespace {

// Far above any class file; a larger input is no class file and is not read into memory.
const qint64 maxInputSize = 64 * 1024 * 1024;

void printError(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

bool convertFile(const QString& inputPath, const QString& outputPath)
{
    QFile input(inputPath);
    if (!input.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("%1: cannot be read: %2").arg(inputPath, input.errorString()));
        return false;
    }
    if (input.size() > maxInputSize) {
        printError(QStringLiteral("%1: %2 bytes is too large for a class file (at most %3)")
                       .arg(inputPath)
                       .arg(input.size())
                       .arg(maxInputSize));
        return false;
    }
    const QByteArray sig = input.read(maxInputSize + 1);
    if (input.error() != QFileDevice::NoError || sig.size() > maxInputSize) {
        printError(QStringLiteral("%1: cannot be read: %2").arg(inputPath, input.errorString()));
        return false;
    }

    QString error;
    const QByteArray classFile = SigConverter::convert(sig, &error);
    if (classFile.isNull()) {
        printError(QStringLiteral("%1: %2").arg(inputPath, error));
        return false;
    }

    const QString outputDir = QFileInfo(outputPath).absolutePath();
    if (!QDir().mkpath(outputDir)) {
        printError(QStringLiteral("%1: cannot create the directory %2").arg(outputPath, outputDir));
        return false;
    }
    QSaveFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly) || output.write(classFile) != classFile.size() ||
        !output.commit()) {
        printError(
            QStringLiteral("%1: cannot be written: %2").arg(outputPath, output.errorString()));
        return false;
    }
    return true;
}

int convertTree(const QString& inputDirName, const QString& outputDir)
{
    // The iterator yields paths that begin with the directory as given; relative paths are
    // only taken apart correctly against an absolute base.
    const QString inputDir = QFileInfo(inputDirName).absoluteFilePath();
    const QDir base(inputDir);
    int converted = 0;
    int failed = 0;
    QDirIterator it(inputDir, QStringList{QStringLiteral("*.sig")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString inputPath = it.next();
        QString relative = base.relativeFilePath(inputPath);
        relative.chop(4); // ".sig"
        if (convertFile(inputPath, QDir(outputDir).filePath(relative + QStringLiteral(".class"))))
            ++converted;
        else
            ++failed;
    }
    if (converted + failed == 0) {
        printError(QStringLiteral("%1: holds no .sig files").arg(inputDirName));
        return 1;
    }
    if (failed > 0) {
        printError(QStringLiteral("%1 of %2 files could not be converted")
                       .arg(failed)
                       .arg(converted + failed));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        printError(QStringLiteral("usage: velm-sig2class <input.sig> <output.class>\n"
                                  "       velm-sig2class <input directory> <output directory>"));
        return 1;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    if (QFileInfo(input).isDir())
        return convertTree(input, output);
    return convertFile(input, output) ? 0 : 1;
}
