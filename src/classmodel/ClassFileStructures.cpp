#include "ClassFileStructures.h"

QString constantInfoToString(unsigned char tag)
{
    switch (tag) {
    case CONSTANT_Utf8:
        return QStringLiteral("CONSTANT_Utf8");
    case CONSTANT_Integer:
        return QStringLiteral("CONSTANT_Integer");
    case CONSTANT_Float:
        return QStringLiteral("CONSTANT_Float");
    case CONSTANT_Long:
        return QStringLiteral("CONSTANT_Long");
    case CONSTANT_Double:
        return QStringLiteral("CONSTANT_Double");
    case CONSTANT_Class:
        return QStringLiteral("CONSTANT_Class");
    case CONSTANT_String:
        return QStringLiteral("CONSTANT_String");
    case CONSTANT_Fieldref:
        return QStringLiteral("CONSTANT_Fieldref");
    case CONSTANT_Methodref:
        return QStringLiteral("CONSTANT_Methodref");
    case CONSTANT_InterfaceMethodref:
        return QStringLiteral("CONSTANT_InterfaceMethodref");
    case CONSTANT_NameAndType:
        return QStringLiteral("CONSTANT_NameAndType");
    default:
        return QStringLiteral("CONSTANT_UNDEFINED!");
    }
}

attribute_info::~attribute_info() = default;

member_info::~member_info() = default;
