#pragma once

#include <QString>

class Class;
class JClass;
class JClasses;

// Writing, reading and filling gold files. A gold file is exactly one serialised JClasses
// message, nothing before or after it.
//
// Failures are logged at ERROR and thrown as std::runtime_error carrying the same text.
class ProtoIO
{
public:
    // How much of a class setJClass keeps.
    enum setmode_t {
        // Every member.
        SM_ALL = 0,
        // Only what a user of the API can see: public and protected members, without the
        // compiler's synthetic outer-instance fields (this$0) and accessors (access$000).
        SM_API = 1
    };

    // Largest gold file that is read; anything longer is rejected as undecodable rather than
    // read in part.
    static const int maxFileSize = 64 * 1024 * 1024;

    // Replaces the file's content with the message. Throws std::runtime_error when the file
    // cannot be opened or the message cannot be written out completely.
    static void write(const JClasses* message, const QString& fileName);

    // Points `message` at a new JClasses parsed from the file, which the caller then owns. The
    // pointer's previous value is overwritten, never deleted. Throws std::runtime_error when the
    // file cannot be opened or is no valid gold file; the pointer is null afterwards.
    static void read(JClasses*& message, const QString& fileName);

    // Fills `message` from the class view. Sets fields and appends to the repeated ones; clears
    // nothing, so it is meant for a fresh message. Any `mode` other than SM_API keeps everything.
    static void setJClass(JClass* message, const Class& view, setmode_t mode);

private:
    ProtoIO() = delete;
};
