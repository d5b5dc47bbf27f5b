#pragma once

#include <QtGlobal>

// What the bytecode walk needs to know about one opcode: its mnemonic, its length and what its
// operand is. This table is the only place that knows instruction lengths; an opcode that it
// does not know (202 and above) is reported by the walk, never guessed at.
struct Opcode
{
    enum Operand {
        None,               // nothing the walk follows
        FieldRef,           // u16 index of a CONSTANT_Fieldref
        MethodRef,          // u16 index of a CONSTANT_Methodref
        AnyMethodRef,       // u16 index of a CONSTANT_Methodref or CONSTANT_InterfaceMethodref
        InterfaceMethodRef, // u16 index of a CONSTANT_InterfaceMethodref
        ClassRef,           // u16 index of a CONSTANT_Class
        Wide,               // length decided by the modified opcode
        TableSwitch,        // variable length
        LookupSwitch        // variable length
    };

    const char* name;
    quint8 length; // 0 for the variable-length instructions
    Operand operand;

    // Null for opcodes 202 and above.
    static const Opcode* find(quint8 opcode);
    // The whole length of a wide instruction (wide opcode included) that modifies the given
    // opcode: 4 for the loads, stores and ret, 6 for iinc; 0 for an opcode wide cannot modify.
    static int wideLength(quint8 modified);
};
