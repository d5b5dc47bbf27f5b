#include "ArgBaseException.h"

ArgBaseException::ArgBaseException(const QString& what)
    : std::runtime_error(what.toLocal8Bit().toStdString()), m_what(what)
{
}
