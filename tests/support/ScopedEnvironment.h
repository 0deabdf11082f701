#pragma once

// Environment variables set, or unset, for one scope and put back as they were when it ends.

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <initializer_list>
#include <optional>
#include <utility>

class ScopedEnvironment {
public:
    // A value of std::nullopt unsets the variable.
    ScopedEnvironment(std::initializer_list<std::pair<const char*, std::optional<QByteArray>>> values)
    {
        for (const auto& [name, value] : values) {
            saved_.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }

    ~ScopedEnvironment()
    {
        for (const Saved& variable : saved_) {
            if (variable.set)
                qputenv(variable.name, variable.value);
            else
                qunsetenv(variable.name);
        }
    }

    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    struct Saved {
        const char* name;
        bool set;
        QByteArray value;
    };
    QList<Saved> saved_;
};
