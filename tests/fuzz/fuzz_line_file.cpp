// Line files and the Windows-1251 code page. Every byte reads as one character and writes back as
// itself; every character writes as one byte; a file read and written again holds its lines with
// CR LF breaks and nothing lost.

#include "FuzzCheck.h"
#include "platform/LineFile.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

qsizetype CodePoints(const QString& text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

// The bytes a file holds once read and written again: each break (CR LF, LF or CR) becomes CR LF,
// the last line gets one, and the byte the code page leaves undefined becomes "?".
QByteArray Normalised(const QByteArray& bytes)
{
    QByteArray result;
    bool broken = true;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        broken = c == '\r' || c == '\n';
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        result += broken ? QByteArray("\r\n") : QByteArray(1, c == '\x98' ? '?' : c);
    }
    if (!broken)
        result += "\r\n";
    return result;
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/quillon-fuzz-XXXXXX"));
    FuzzedDataProvider input(data, size);

    const QByteArray bytes = TakeBytes(input, 2048);
    const QString decoded = FromCp1251(bytes);
    Require(decoded.size() == bytes.size(), "every byte reads as one character");
    QByteArray expected = bytes;
    Require(ToCp1251(decoded) == expected.replace('\x98', '?'), "every defined byte writes back as itself");

    const QString text = TakeText(input, 256);
    const QByteArray encoded = ToCp1251(text);
    Require(encoded.size() == CodePoints(text), "every character writes as one byte", text);
    Require(ToCp1251(FromCp1251(encoded)) == encoded, "written text reads back as written", text);
    const QString back = FromCp1251(encoded);
    for (qsizetype i = 0, j = 0; i < text.size(); ++i, ++j) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        Require(back[j] == u'?' || (!pair && back[j] == text[i]), "a character either survives or becomes \"?\"", text);
        i += pair ? 1 : 0;
    }

    const QString path = folder.filePath(QStringLiteral("lines.lst"));
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), "the test file can be written");
    file.close();
    const QStringList lines = ReadLines(path);
    for (const QString& line : lines)
        Require(!line.contains(u'\r') && !line.contains(u'\n'), "a line holds no break");
    WriteLines(path, lines);
    Require(FileBytes(path) == Normalised(bytes), "read and written again, nothing is lost");
    QStringList written = lines;
    for (QString& line : written)
        line.replace(QChar(QChar::ReplacementCharacter), u'?');
    Require(ReadLines(path) == written, "written lines read back, an undefined byte as \"?\"");
    return 0;
}
