#pragma once

#include <QString>
#include <exception>
#include <string>

// A structurally malformed class file. Thrown only inside the class-file reader, which catches it
// once and records its message in the file's check log; it never reaches the reader's callers.
class BadClassFileException : public std::exception
{
public:
    explicit BadClassFileException(const QString& message);
    ~BadClassFileException() override;

    const char* what() const noexcept override;

private:
    std::string message;
};
