#pragma once

#include <QByteArray>
#include <QString>

#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>

class Class;
class ClassLoader;

// What every fuzz target shares. Nothing here is meant for the program itself.
namespace FuzzSupport {

// Makes the process-wide logger once. Its lines are formatted as the program would format them
// and then dropped, so a long run neither fills a log file nor floods the console.
void setUp();

// A path inside this process's own scratch directory, which lives until the process ends.
QString scratchPath(const QString& name);

// Replaces the scratch file `name` with `bytes` and returns its path.
QString writeScratch(const QString& name, const QByteArray& bytes);

// Counts an answer, so that the compiler cannot drop the question that gave it.
void use(const QString& text);
void use(size_t answer);

// The input as a byte array that does not copy it.
QByteArray bytes(const uint8_t* data, size_t size);

// Runs `work` and returns the lines it logged, from any thread, as "<level> <text>" in the order
// they were logged. Meant for comparing two ways of doing the same work.
QStringList logged(const std::function<void()>& work);

// Asks every question the views answer, members and dependency sets included, so that each
// answer is computed at least once.
void exercise(const Class& cls);

// Asks the access rules about every pair of the first `limit` classes, and about each target's
// members.
void exerciseAccess(ClassLoader& loader, const QList<Class*>& classes, int limit);

} // namespace FuzzSupport
