#pragma once

#include "platform/QuillonError.h"

// An error of the data layer itself: a misuse or an input it cannot apply
// (a closed data set, an unknown field, a filter it cannot read).
class DataError : public QuillonError {
public:
    using QuillonError::QuillonError;
};

// An error reported by the ODBC driver or the server. The message is the server's own text,
// without the driver's bracketed prefixes, so the user sees what the server said.
class DatabaseError : public QuillonError {
public:
    DatabaseError(QString message, QString sqlState, int nativeError)
        : QuillonError(std::move(message)), sqlState_(std::move(sqlState)), nativeError_(nativeError) {}

    const QString& sqlState() const noexcept { return sqlState_; }
    int nativeError() const noexcept { return nativeError_; }

private:
    QString sqlState_;
    int nativeError_;
};

// A recording file that cannot be created, written or read. The message names the file and says
// what is wrong with it, in the operator's words.
class RecordingError : public DataError {
public:
    using DataError::DataError;
};
