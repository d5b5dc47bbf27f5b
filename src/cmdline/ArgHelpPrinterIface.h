#ifndef ARGHELPPRINTERIFACE_H
#define ARGHELPPRINTERIFACE_H

#include <QChar>
#include <QString>

// Turns the marker templates of the argument table into printed help. Arguments describe
// themselves as plain text interleaved with the markers below; a printer decides how each marker
// is shown (delimiters, separators, padding into columns).
class ArgHelpPrinterIface
{
public:
    virtual ~ArgHelpPrinterIface();

    virtual void print() const = 0;
    virtual void setProgramDescription(const QString& description) = 0;
    virtual void setExecutableName(const QString& name) = 0;
    virtual void setUsageString(const QString& usage) = 0;
    virtual void setHelpString(const QString& help) = 0;
    virtual void setDelimiterChar(const QChar& delimiter) = 0;

    static const QString beforeFlags;
    static const QString afterFlags;
    static const QString namesSeparator;
    static const QString beforeNames;
    static const QString beforeDescription;
    static const QString newLine;
    static const QString argValue;
    static const QString flagMarker;
    static const QString nameMarker;
};

#endif // ARGHELPPRINTERIFACE_H
