// Archives from the input: the archive reader's listing and reads, and the archive class loader
// defining every class it lists, in one pass (on several threads from 16 classes on) and one by
// one. Last, the classpath's loader looks the classes up in windows, once reading each next
// window ahead on the other cores as the access test does, and once without; the two must give
// the same classes and log the same lines, or the run aborts.
#include "FuzzSupport.h"

#include "Class.h"
#include "Classpath.h"
#include "JarFileClassLoader.h"
#include "JarFileReader.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Lookups of `windows` in turn, each name's class written as its name or "-" when there is none,
// with the lines they logged.
struct Lookups
{
    QStringList found;
    QStringList logged;
};

Lookups lookUp(const QString& path, const QList<QStringList>& windows, bool ahead)
{
    Classpath classpath;
    classpath.entries.append(path);
    Lookups lookups;
    lookups.logged = FuzzSupport::logged([&] {
        std::unique_ptr<ClassLoader> loader(ClassLoader::create(classpath));
        if (ahead && !windows.isEmpty())
            loader->prefetchClasses(windows.first());
        for (int w = 0; w < windows.size(); ++w) {
            if (ahead && w + 1 < windows.size())
                loader->prefetchClasses(windows.at(w + 1));
            for (const QString& name : windows.at(w)) {
                const Class* cls = loader->loadClass(name);
                lookups.found.append(cls ? cls->getName().toString() : QStringLiteral("-"));
            }
        }
    });
    return lookups;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::setUp();
    const QString path =
        FuzzSupport::writeScratch(QStringLiteral("input.jar"), FuzzSupport::bytes(data, size));

    // Every class in archive order, through one pass.
    QStringList names;
    {
        JarFileClassLoader loader(path);
        loader.loadAllClasses();
        for (const Class* cls : loader.getAllClasses())
            FuzzSupport::exercise(*cls);
        names = loader.reader->classNames;
        // Read again after the pass, and a class the archive does not hold.
        for (const QString& name : names.mid(0, 4))
            loader.reader->readClass(name);
        loader.reader->readClass(QStringLiteral("Lnot/in/the/Archive;"));
    }

    // One class at a time, last listed first: the first read keeps the others for later.
    {
        JarFileClassLoader loader(path);
        for (int i = names.size() - 1; i >= 0 && i >= names.size() - 8; --i) {
            if (const Class* cls = loader.loadClass(names[i]))
                FuzzSupport::exercise(*cls);
        }
    }

    // Windows of a few names each, every one with a name the archive does not hold and a name
    // of the window before, which is cached by then.
    const int windowSize = 8;
    QList<QStringList> windows;
    for (int first = 0; first < names.size() && windows.size() < 16; first += windowSize) {
        QStringList window = names.mid(first, windowSize);
        window.append(QStringLiteral("Lnot/in/the/Archive;"));
        if (first > 0)
            window.append(names.at(first - 1));
        windows.append(window);
    }
    const Lookups plain = lookUp(path, windows, false);
    const Lookups ahead = lookUp(path, windows, true);
    if (plain.found != ahead.found || plain.logged != ahead.logged) {
        std::fprintf(stderr, "Reading ahead changes the lookups: %d and %d lines logged.\n",
                     int(plain.logged.size()), int(ahead.logged.size()));
        std::abort();
    }
    return 0;
}
