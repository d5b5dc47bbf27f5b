#pragma once

#include <QByteArray>
#include <QString>

// Turns an API signature file into a class file that the class-file reader accepts.
//
// The JDK describes the API of its earlier releases in signature files (.sig entries of
// lib/ct.sym): class files in every respect but one, their concrete methods carry no Code
// attribute. The reader rightly rejects a method that is neither abstract nor native and has no
// code, so each such method gets the smallest Code attribute that a verifier accepts, one that
// only throws: aconst_null; athrow, max_stack 1, max_locals the receiver and parameter slots.
//
// Everything else stays byte for byte: the constant pool keeps its entries and indexes (a Utf8
// "Code" entry is appended after them when the pool has none), the flags, names, descriptors
// and attributes of the class and its members are copied unchanged. A file that needs no code,
// a javac-compiled class for one, comes out identical.
class SigConverter
{
public:
    // Returns the class file for the bytes of a signature file. On malformed input returns a
    // null QByteArray and sets *error to a message that says what was wrong and where.
    static QByteArray convert(const QByteArray& sig, QString* error);

    // The number of local-variable slots that the parameters of a method descriptor take
    // (long and double take two), or -1 when the text is no well-formed method descriptor.
    static int parameterSlots(const QByteArray& descriptor);

    // What the class-file format allows for the receiver and the parameters together.
    static const int maxLocals = 255;

private:
    SigConverter() = delete;
};
