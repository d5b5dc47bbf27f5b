#include "TypeDescriptor.h"

namespace {

bool isPrimitiveOrVoid(ushort c)
{
    switch (c) {
    case 'B':
    case 'C':
    case 'D':
    case 'F':
    case 'I':
    case 'J':
    case 'S':
    case 'V':
    case 'Z':
        return true;
    default:
        return false;
    }
}

// The text without its first and its last character, whatever they are. Texts shorter than two
// characters have nothing in between.
QString innerText(const QString& text)
{
    if (text.size() < 2)
        return QString();
    return text.mid(1, text.size() - 2);
}

// Compares the printed forms of two class descriptors (the text between the first and the last
// character, '/' read as '.') code unit by code unit, as QString's ordering would.
int compareClassTexts(const QString& a, const QString& b)
{
    const int na = a.size() < 2 ? 0 : a.size() - 2;
    const int nb = b.size() < 2 ? 0 : b.size() - 2;
    const int n = na < nb ? na : nb;
    for (int i = 1; i <= n; ++i) {
        ushort ca = a.at(i).unicode();
        ushort cb = b.at(i).unicode();
        if (ca == '/')
            ca = '.';
        if (cb == '/')
            cb = '.';
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return na - nb;
}

} // namespace

TypeDescriptor::TypeDescriptor(const QString& descriptorText)
    : descriptor(descriptorText), kind(-1), dimensions(0), element(nullptr)
{
    if (descriptor.isEmpty())
        return;

    const ushort first = descriptor.at(0).unicode();
    if (isPrimitiveOrVoid(first)) {
        // Whatever follows the letter is not looked at ('Ixyz' is an int).
        kind = first;
    } else if (first == 'L') {
        // A missing ';' is not detected: the last character is cut whatever it is.
        kind = first;
        className = innerText(descriptor).replace(QLatin1Char('/'), QLatin1Char('.'));
    } else if (first == '[') {
        kind = first;
        int pos = 0;
        while (pos < descriptor.size() && descriptor.at(pos) == QLatin1Char('['))
            ++pos;
        dimensions = pos;
        if (pos == descriptor.size()) {
            // Only '[' characters: there is no element type. An element of the empty text keeps
            // every array descriptor printable and copyable ("ERROR []").
            element = new TypeDescriptor(QString());
        } else {
            // A character outside Latin-1 stands as code 0, which is no valid element letter.
            const char c = descriptor.at(pos).toLatin1();
            if (c == 'L')
                element = new TypeDescriptor(descriptor.mid(pos));
            else
                element = new TypeDescriptor(QString(QChar::fromLatin1(c)));
        }
        // The element is never an array itself, so building it recurses at most one level.
    }
}

TypeDescriptor::TypeDescriptor(const TypeDescriptor& other)
    : descriptor(other.descriptor), kind(other.kind), className(other.className),
      dimensions(other.dimensions),
      element(other.element ? new TypeDescriptor(*other.element) : nullptr)
{
}

TypeDescriptor& TypeDescriptor::operator=(const TypeDescriptor& other)
{
    if (this == &other)
        return *this;
    // Copy the element first so that assigning a descriptor its own element stays valid.
    TypeDescriptor* newElement = other.element ? new TypeDescriptor(*other.element) : nullptr;
    descriptor = other.descriptor;
    kind = other.kind;
    className = other.className;
    dimensions = other.dimensions;
    delete element;
    element = newElement;
    return *this;
}

TypeDescriptor::~TypeDescriptor()
{
    delete element;
}

TypeDescriptor TypeDescriptor::fromClassDescriptorName(const QString& name)
{
    return TypeDescriptor(name);
}

TypeDescriptor TypeDescriptor::fromMungedClassDescriptorName(const QString& name)
{
    if (name.startsWith(QLatin1Char('[')))
        return TypeDescriptor(name);
    return TypeDescriptor(QStringLiteral("L%1;").arg(name));
}

TypeDescriptor TypeDescriptor::fromClassBinaryName(const QString& name)
{
    QString internalName = name;
    internalName.replace(QLatin1Char('.'), QLatin1Char('/'));
    return TypeDescriptor(QStringLiteral("L%1;").arg(internalName));
}

TypeDescriptor TypeDescriptor::fromClassFileName(const QString& name)
{
    QString binaryName = name;
    binaryName.remove(QStringLiteral(".class"), Qt::CaseSensitive);
    return fromClassBinaryName(binaryName);
}

TypeDescriptor TypeDescriptor::invalid(const QString& descriptorText)
{
    TypeDescriptor result{QString()};
    result.descriptor = descriptorText;
    return result;
}

QList<TypeDescriptor> TypeDescriptor::toDescriptorList(const QString& descriptors)
{
    QList<TypeDescriptor> result;
    for (int pos = 0; pos < descriptors.size();) {
        const int end = descriptorEnd(descriptors, pos);
        if (end >= 0) {
            result.append(TypeDescriptor(descriptors.mid(pos, end - pos)));
            pos = end;
            continue;
        }
        const QString rest = descriptors.mid(pos);
        if (rest.count(QLatin1Char('[')) == rest.size()) {
            // A trailing '[' run: code 0 stands in for the missing element letter.
            result.append(TypeDescriptor(rest + QChar(0)));
        } else {
            // A class type without its ';' has no end; it takes the rest of the text and is
            // marked invalid rather than printed as a class name with its last letter cut.
            result.append(invalid(rest));
        }
        break;
    }
    return result;
}

int TypeDescriptor::descriptorEnd(QStringView descriptors, int from)
{
    int last = from; // the last character of the descriptor
    while (last < descriptors.size() && descriptors.at(last) == QLatin1Char('['))
        ++last;
    if (last == descriptors.size())
        return -1;
    if (descriptors.at(last) == QLatin1Char('L')) {
        last = int(descriptors.indexOf(QLatin1Char(';'), last));
        if (last < 0)
            return -1;
    }
    return last + 1;
}

QString TypeDescriptor::toString() const
{
    switch (kind) {
    case 'B':
        return QStringLiteral("byte");
    case 'C':
        return QStringLiteral("char");
    case 'D':
        return QStringLiteral("double");
    case 'F':
        return QStringLiteral("float");
    case 'I':
        return QStringLiteral("int");
    case 'J':
        return QStringLiteral("long");
    case 'S':
        return QStringLiteral("short");
    case 'V':
        return QStringLiteral("void");
    case 'Z':
        return QStringLiteral("boolean");
    case 'L':
        return toStringClass();
    case '[':
        return toStringArray();
    default:
        return QStringLiteral("ERROR %1").arg(descriptor);
    }
}

QString TypeDescriptor::toStringClass() const
{
    return innerText(descriptor).replace(QLatin1Char('/'), QLatin1Char('.'));
}

QString TypeDescriptor::toStringArray() const
{
    // The element is set for every array built here; the fallback only guards hand-made values.
    QString text = element ? element->toString() : TypeDescriptor(QString()).toString();
    for (int i = 0; i < dimensions; ++i)
        text += QLatin1String("[]");
    return text;
}

bool TypeDescriptor::operator<(const TypeDescriptor& other) const
{
    // Class types are by far the most common keys of the dependency sets; their printed forms
    // are compared in place, reading '/' as '.', instead of being built for every comparison.
    if (kind == 'L' && other.kind == 'L')
        return compareClassTexts(descriptor, other.descriptor) < 0;
    return toString() < other.toString();
}

bool TypeDescriptor::operator==(const TypeDescriptor& other) const
{
    return descriptor == other.descriptor;
}
