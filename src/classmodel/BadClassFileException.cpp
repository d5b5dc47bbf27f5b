#include "BadClassFileException.h"

BadClassFileException::BadClassFileException(const QString& message)
    : message(message.toLocal8Bit().toStdString())
{
}

BadClassFileException::~BadClassFileException() = default;

const char* BadClassFileException::what() const noexcept
{
    return message.c_str();
}
