#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// One Java type (primitive, void, class or array), built from its field-descriptor text
// ('I', 'Ljava/lang/String;', '[[J') or from a class name in one of the other spellings below.
//
// Nothing is rejected: a text that is no valid descriptor yields kind -1, which prints as
// "ERROR <text>". Callers tell invalid types apart by `kind`.
//
// Ordering and equality deliberately differ: operator< compares the printed (Java source)
// spelling, so 'La/b;' and 'La.b;' are one key in an ordered container, while operator==
// compares the descriptor texts, so those two are not equal.
class TypeDescriptor
{
public:
    // The descriptor text as given.
    QString descriptor;
    // The character code of the first character for 'B', 'C', 'D', 'F', 'I', 'J', 'S', 'V', 'Z',
    // 'L' and '['; -1 for anything else, the empty text included.
    int kind;
    // Kind 'L' only: the dotted class name ('java.lang.String'); empty otherwise.
    QString className;
    // Kind '[' only: the number of leading '[' characters; 0 otherwise.
    int dimensions;
    // Kind '[' only: the element type, owned by this object; null for every other kind. Never
    // null for kind '[': a text made only of '[' characters gets an element of the empty text.
    TypeDescriptor* element;

    // Parses a field-descriptor text. The empty text is the value used for a missing type.
    explicit TypeDescriptor(const QString& descriptorText);
    TypeDescriptor(const TypeDescriptor& other);
    TypeDescriptor& operator=(const TypeDescriptor& other);
    ~TypeDescriptor();

    // The same as the constructor.
    static TypeDescriptor fromClassDescriptorName(const QString& name);
    // For the name held by a class-file Class entry: an internal name ('java/lang/Object') or,
    // when it begins with '[', an array descriptor ('[I') used as it stands.
    static TypeDescriptor fromMungedClassDescriptorName(const QString& name);
    // For a dotted binary name ('java.lang.Object').
    static TypeDescriptor fromClassBinaryName(const QString& name);
    // For the path of a class file relative to its root ('java/lang/Object.class'); every
    // ".class" in the text is removed, not only a trailing one.
    static TypeDescriptor fromClassFileName(const QString& name);

    // Splits a run of concatenated descriptors, such as the parameter part of a method
    // descriptor. An 'L' without a closing ';' swallows the rest of the text and yields a
    // descriptor of kind -1 holding that rest.
    static QList<TypeDescriptor> toDescriptorList(const QString& descriptors);
    // Where the descriptor that starts at from in a run of concatenated descriptors ends (one
    // past its last character): a class type takes everything up to its ';', an array its '['
    // run and the element after it, anything else one character. -1 when the run ends before
    // the descriptor does: a trailing '[' run, or an 'L' without a ';' after it. Every unit that
    // splits descriptors does it with this.
    static int descriptorEnd(QStringView descriptors, int from);

    // The Java source spelling: "int", "java.lang.String", "int[][]", or "ERROR <text>".
    QString toString() const;
    QString toStringClass() const;
    QString toStringArray() const;

    // Compares the toString texts.
    bool operator<(const TypeDescriptor& other) const;
    // Compares the descriptor texts.
    bool operator==(const TypeDescriptor& other) const;

private:
    static TypeDescriptor invalid(const QString& descriptorText);
};
