// Feeds files through a fuzz target's entry point without the fuzzing engine: every file named
// on the command line, and every file below each directory named, in name order. Used by the
// tests to replay the committed corpora; a crash, a sanitizer report or an escaping exception
// fails the run.
#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString path = QFile::decodeName(argv[i]);
        if (QFileInfo(path).isDir()) {
            QStringList found;
            QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext())
                found.append(it.next());
            found.sort();
            files += found;
        } else {
            files.append(path);
        }
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "No input files.\n");
        return 1;
    }
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "Cannot read %s\n", qPrintable(path));
            return 1;
        }
        const QByteArray bytes = file.readAll();
        std::fprintf(stderr, "Running %s (%d bytes)\n", qPrintable(path), int(bytes.size()));
        // A QByteArray ends in a zero byte that is not part of the input, so a read one byte past
        // the end would go unnoticed. A copy of exactly the input's size lets the address
        // sanitizer catch it, as under the fuzzing engine.
        const size_t size = size_t(bytes.size());
        const std::unique_ptr<uint8_t[]> input(new uint8_t[size]);
        std::memcpy(input.get(), bytes.constData(), size);
        LLVMFuzzerTestOneInput(input.get(), size);
    }
    std::printf("Replayed %d inputs.\n", int(files.size()));
    return 0;
}
