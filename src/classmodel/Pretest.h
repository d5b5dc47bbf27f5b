#pragma once

#include <QString>

class Classpath;

// Gold-file building: the reference description of the public API of a classpath.
class Pretest
{
public:
    // Loads every class of `classpath` (directories, archives and gold files alike) and writes
    // the public classes that are not anonymous, each reduced to the members a user of the API
    // can see, to `goldFileName`, in ascending order of their descriptors. Classes that cannot be
    // loaded have been reported by their loaders and are left out. Returns false, after one
    // ERROR line, when the gold file cannot be written or would hold no classes; no file is
    // written then, and one already at that path stays as it was.
    static bool createGold(const Classpath& classpath, const QString& goldFileName);

private:
    Pretest() = delete;
};
