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
    // loaded have been reported by their loaders and are left out. Throws std::runtime_error when
    // the gold file cannot be written; everything loaded is released in that case too.
    static void createGold(const Classpath& classpath, const QString& goldFileName);

private:
    Pretest() = delete;
};
