// Command lines from the input, split into arguments at each zero byte, parsed with the
// program's own option table.
#include "FuzzSupport.h"

#include "ArgBaseException.h"
#include "Options.h"

#include <QList>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // More arguments than any real command line; enough to reach every option and repetition.
    const int maxArguments = 64;
    FuzzSupport::setUp();
    QList<QByteArray> arguments{QByteArrayLiteral("velm-jct")};
    for (const QByteArray& argument : FuzzSupport::bytes(data, size).split('\0')) {
        if (arguments.size() == maxArguments)
            break;
        arguments.append(argument);
    }
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    Options options;
    try {
        options.parse(int(arguments.size()), argv.data());
    } catch (const ArgBaseException&) {
        // Help and command-line errors end here; the program prints them and stops.
    }
    return 0;
}
