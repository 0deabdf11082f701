#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

// Reports a broken property and stops, so that libFuzzer keeps the input that broke it.
inline void Require(bool holds, const char* property, const QString& detail = QString())
{
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n%s\n", property, detail.toUtf8().constData());
    std::abort();
}

inline QByteArray TakeBytes(FuzzedDataProvider& input, std::size_t most = 64)
{
    const std::string bytes = input.ConsumeRandomLengthString(most);
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

// Any UTF-16 text, lone surrogates and NUL included.
inline QString TakeText(FuzzedDataProvider& input, std::size_t most = 32)
{
    QString text;
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, most);
    for (std::size_t i = 0; i < length && input.remaining_bytes() > 0; ++i) {
        // Mostly ASCII, where the quoting characters are, with the rest of Unicode now and then:
        // any UTF-16 unit, or a character beyond the first plane as its surrogate pair.
        switch (input.ConsumeIntegralInRange<int>(0, 15)) {
        case 0:
            text += QChar(input.ConsumeIntegral<char16_t>());
            break;
        case 1: {
            const char32_t c = input.ConsumeIntegralInRange<char32_t>(0x10000, 0x10FFFF);
            text += QChar(QChar::highSurrogate(c));
            text += QChar(QChar::lowSurrogate(c));
            break;
        }
        default:
            text += QChar(char16_t(input.ConsumeIntegralInRange<int>(0, 127)));
        }
    }
    return text;
}
