// velm-goldmark: marks methods of a gold file as signature polymorphic.
//
//   velm-goldmark <input.javagold> <output.javagold> <class descriptor> <method name>...
//
// Reads the gold file, marks every method of the class (for example
// 'Ljava/lang/invoke/MethodHandle;') that has one of the names, and writes the result, completely
// or not at all, to the output file, which may be the input file. Prints the number of marked
// methods. Exits with status 1, writing nothing, when the input is no gold file, the class is
// missing or a name matches no method of it.

#include "GoldMarker.h"
#include "JavaTypes.pb.h"

#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <string>

namespace {

// The largest gold file that the tester itself reads.
const qint64 maxGoldSize = 64 * 1024 * 1024;

int fail(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5)
        return fail(QStringLiteral("usage: velm-goldmark <input.javagold> <output.javagold> "
                                   "<class descriptor> <method name>..."));
    const QString inputPath = QString::fromLocal8Bit(argv[1]);
    const QString outputPath = QString::fromLocal8Bit(argv[2]);
    const QString classDescriptor = QString::fromLocal8Bit(argv[3]);
    QStringList methodNames;
    for (int i = 4; i < argc; ++i)
        methodNames.append(QString::fromLocal8Bit(argv[i]));

    QFile input(inputPath);
    if (!input.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: cannot be read: %2").arg(inputPath, input.errorString()));
    const QByteArray bytes = input.read(maxGoldSize + 1);
    if (input.error() != QFileDevice::NoError)
        return fail(QStringLiteral("%1: cannot be read: %2").arg(inputPath, input.errorString()));
    if (bytes.size() > maxGoldSize)
        return fail(QStringLiteral("%1: larger than %2 bytes, too large for a gold file")
                        .arg(inputPath)
                        .arg(maxGoldSize));
    JClasses gold;
    if (!gold.ParseFromArray(bytes.constData(), bytes.size()))
        return fail(QStringLiteral("%1: is not a valid gold file").arg(inputPath));

    QString error;
    const int marked =
        GoldMarker::markSignaturePolymorphic(&gold, classDescriptor, methodNames, &error);
    if (marked < 0)
        return fail(QStringLiteral("%1: %2").arg(inputPath, error));

    std::string out;
    if (!gold.SerializeToString(&out))
        return fail(QStringLiteral("%1: the marked content cannot be serialised").arg(outputPath));
    QSaveFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly) ||
        output.write(out.data(), qint64(out.size())) != qint64(out.size()) || !output.commit())
        return fail(
            QStringLiteral("%1: cannot be written: %2").arg(outputPath, output.errorString()));
    std::printf("%d methods marked as signature polymorphic\n", marked);
    return 0;
}
