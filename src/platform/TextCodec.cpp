#include "platform/TextCodec.h"

#include "platform/QuillonError.h"

#include <algorithm>
#include <iconv.h>

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from))
    {
        if (handle_ == reinterpret_cast<iconv_t>(-1))
            throw QuillonError(QStringLiteral("The system cannot convert text between %1 and %2")
                                   .arg(QLatin1String(from), QLatin1String(to)));
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Back to the initial state, for the next text.
    void Reset() { iconv(handle_, nullptr, nullptr, nullptr, nullptr); }

    // Converts as much as it can; returns false at a sequence it cannot convert, in and out then
    // pointing at it.
    bool Convert(char*& in, size_t& inLeft, char*& out, size_t& outLeft)
    {
        return iconv(handle_, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
    }

private:
    iconv_t handle_;
};

// Length of the UTF-8 sequence that starts with lead, so that one unconvertible character costs
// exactly one "?".
qsizetype Utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

bool IsAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Opening a converter costs more than converting a line of a file, and files are converted line by
// line: each thread keeps one converter of each direction.
Converter& ConverterFromCp1251()
{
    thread_local Converter converter("UTF-8", "CP1251");
    converter.Reset();
    return converter;
}

Converter& ConverterToCp1251()
{
    thread_local Converter converter("CP1251", "UTF-8");
    converter.Reset();
    return converter;
}

} // namespace

QString FromCp1251(const QByteArray& bytes)
{
    // The code page's lower half is ASCII, and most of the files' names and values keep to it.
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes);
    static constexpr char replacement[] = "\xEF\xBF\xBD"; // U+FFFD
    Converter& converter = ConverterFromCp1251();
    // No character of the code page needs more than three bytes of UTF-8.
    QByteArray utf8(bytes.size() * 3, Qt::Uninitialized);
    QByteArray input = bytes;
    char* in = input.data();
    size_t inLeft = static_cast<size_t>(input.size());
    char* out = utf8.data();
    size_t outLeft = static_cast<size_t>(utf8.size());
    while (!converter.Convert(in, inLeft, out, outLeft)) {
        out = std::copy_n(replacement, 3, out);
        outLeft -= 3;
        ++in;
        --inLeft;
    }
    utf8.truncate(out - utf8.data());
    return QString::fromUtf8(utf8);
}

namespace {

// The C library's converter drops the tag characters U+E0000..U+E007F without an error; they
// become "?" here as every other character the code page cannot hold does.
QString WithoutTagCharacters(QString text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        const char16_t high = text.at(i).unicode();
        const char16_t low = text.at(i + 1).unicode();
        if (high == 0xDB40 && low >= 0xDC00 && low <= 0xDC7F)
            text.replace(i, 2, u'?');
    }
    return text;
}

} // namespace

QByteArray ToCp1251(const QString& text)
{
    if (IsAscii(text))
        return text.toLatin1();
    Converter& converter = ConverterToCp1251();
    QByteArray input = WithoutTagCharacters(text).toUtf8();
    QByteArray cp1251(input.size(), Qt::Uninitialized);
    char* in = input.data();
    size_t inLeft = static_cast<size_t>(input.size());
    char* out = cp1251.data();
    size_t outLeft = static_cast<size_t>(cp1251.size());
    while (!converter.Convert(in, inLeft, out, outLeft)) {
        const auto skip = std::min(Utf8SequenceLength(static_cast<unsigned char>(*in)),
                                   static_cast<qsizetype>(inLeft));
        *out++ = '?';
        --outLeft;
        in += skip;
        inLeft -= static_cast<size_t>(skip);
    }
    cp1251.truncate(out - cp1251.data());
    return cp1251;
}

bool FitsCp1251(const QString& text)
{
    return FromCp1251(ToCp1251(text)) == text;
}
