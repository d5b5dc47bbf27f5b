#include "MethodSignature.h"

#include <QStringList>

namespace {

// The parameter part: everything between the first character (skipped whatever it is) and the
// first ')'. Without a ')', or with ')' first, all characters after the first are taken.
QString parameterText(const QString& text, int close)
{
    if (close <= 0)
        return text.mid(1);
    return text.mid(1, close - 1);
}

} // namespace

MethodSignature::MethodSignature(const QString& descriptorText)
    : descriptor(descriptorText),
      // Without a ')' the return type is read from the whole text.
      returnType(descriptorText.mid(descriptorText.indexOf(QLatin1Char(')')) + 1)),
      parameters(TypeDescriptor::toDescriptorList(
          parameterText(descriptorText, descriptorText.indexOf(QLatin1Char(')')))))
{
}

QString MethodSignature::getParameterString() const
{
    QStringList texts;
    for (const TypeDescriptor& parameter : parameters)
        texts.append(parameter.toString());
    return texts.join(QLatin1String(", "));
}
