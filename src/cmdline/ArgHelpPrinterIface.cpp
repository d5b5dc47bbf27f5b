#include "ArgHelpPrinterIface.h"

const QString ArgHelpPrinterIface::beforeFlags = QStringLiteral("%beforeFlags%");
const QString ArgHelpPrinterIface::afterFlags = QStringLiteral("%afterFlags%");
const QString ArgHelpPrinterIface::namesSeparator = QStringLiteral("%namesSeparator%");
const QString ArgHelpPrinterIface::beforeNames = QStringLiteral("%beforeNames%");
const QString ArgHelpPrinterIface::beforeDescription = QStringLiteral("%beforeDescription%");
const QString ArgHelpPrinterIface::newLine = QStringLiteral("%newLine%");
const QString ArgHelpPrinterIface::argValue = QStringLiteral("%value%");
const QString ArgHelpPrinterIface::flagMarker = QStringLiteral("%flagMarker%");
const QString ArgHelpPrinterIface::nameMarker = QStringLiteral("%nameMarker%");

ArgHelpPrinterIface::~ArgHelpPrinterIface() = default;
