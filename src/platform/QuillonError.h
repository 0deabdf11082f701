#pragma once

#include <QString>
#include <exception>
#include <string>

// Base of every error the program raises. The message is the exact text the user sees.
class QuillonError : public std::exception {
public:
    explicit QuillonError(QString message)
        : message_(std::move(message)), utf8_(message_.toStdString()) {}

    const QString& message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::string utf8_;
};

// A file could not be opened, created or written.
class FileError : public QuillonError {
public:
    using QuillonError::QuillonError;
};

// A text that should hold a whole number does not.
class ConvertError : public QuillonError {
public:
    using QuillonError::QuillonError;
};

// "'%s' is not a valid integer value" for text, the wording users know from the original program.
QString InvalidIntegerMessage(const QString& text);

// Strict decimal conversion as the program's own conversions do it; throws ConvertError.
int StrToInt(const QString& text);
