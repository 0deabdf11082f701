#pragma once

#include <QString>

// How a driver reads the values of an ODBC connection string, which decides how a value must be
// written to arrive as it is.
enum class OdbcDialect {
    // ODBC's own rule: a value in braces may hold anything, "}}" standing for "}".
    Standard,
    // FreeTDS ends a braced value at its first "};" and reads no "}}": a value goes into braces
    // as it is, and one holding "};" cannot be carried.
    FreeTds,
    // psqlODBC takes the braces off (reading "}}" as "}") only for PWD and pqopt, and URL-decodes
    // those two when they are not braced ("+" for a blank, "%41" for "A"). Every other value it
    // keeps as written, braces and all.
    PsqlOdbc,
};

OdbcDialect OdbcDialectOf(const QString& driver);

// An ODBC connection string, keyword=value pairs separated by ";", each value written so that
// the dialect's driver reads it back exactly.
class OdbcStringBuilder {
public:
    explicit OdbcStringBuilder(OdbcDialect dialect) : dialect_(dialect) {}

    OdbcDialect dialect() const { return dialect_; }

    // Whether add() can give the driver this value of keyword.
    bool canCarry(const QString& keyword, const QString& value) const;
    // Throws DataError naming what (never the value, which may be a password) when it cannot.
    void add(const QString& keyword, const QString& what, const QString& value);
    // The value in braces even where it needs none, as DRIVER names are written.
    void addBraced(const QString& keyword, const QString& what, const QString& value);

    const QString& text() const { return text_; }

private:
    enum class Form { Plain, Braced, Impossible };
    Form formOf(const QString& keyword, const QString& value, bool braced) const;
    void append(const QString& keyword, const QString& what, const QString& value, bool braced);

    OdbcDialect dialect_;
    QString text_;
};
