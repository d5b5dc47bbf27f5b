// Archives from the input: the archive reader's listing and reads, and the archive class loader
// defining every class it lists, in one pass and one by one.
#include "FuzzSupport.h"

#include "Class.h"
#include "JarFileClassLoader.h"
#include "JarFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::setUp();
    const QString path =
        FuzzSupport::writeScratch(QStringLiteral("input.jar"), FuzzSupport::bytes(data, size));

    // Every class in archive order, through one sequential pass.
    {
        JarFileClassLoader loader(path);
        loader.loadAllClasses();
        for (const Class* cls : loader.getAllClasses())
            FuzzSupport::exercise(*cls);
        // Read again after the pass, and a class the archive does not hold.
        for (const QString& name : loader.reader->classNames.mid(0, 4))
            loader.reader->readClass(name);
        loader.reader->readClass(QStringLiteral("Lnot/in/the/Archive;"));
    }

    // One class at a time, last listed first: the first read keeps the others for later.
    {
        JarFileClassLoader loader(path);
        const QStringList names = loader.reader->classNames;
        for (int i = names.size() - 1; i >= 0 && i >= names.size() - 8; --i) {
            if (const Class* cls = loader.loadClass(names[i]))
                FuzzSupport::exercise(*cls);
        }
    }
    return 0;
}
