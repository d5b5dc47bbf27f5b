#include "Classpath.h"

void Classpath::append(const QString& text)
{
    entries.append(text.split(':', Qt::SkipEmptyParts, Qt::CaseSensitive));
}

QString Classpath::toString() const
{
    QString text;
    for (int i = 0; i < entries.size(); ++i) {
        if (i > 0)
            text += ':';
        text += entries.at(i);
    }
    return text;
}
