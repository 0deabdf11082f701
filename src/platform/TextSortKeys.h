#pragma once

#include <QLocale>
#include <QStringEncoder>
#include <QStringView>
#include <vector>

struct UCollator;

// Byte keys that order texts exactly as the sort keys of a case-insensitive QCollator for the
// same locale do: two keys compare byte by byte as unsigned values, a key that is the start of
// another coming first. Written into one growing buffer rather than an object per text, so that
// many keys cost their bytes alone and can be ordered without chasing a pointer per comparison.
class TextSortKeys {
public:
    explicit TextSortKeys(const QLocale& locale);
    ~TextSortKeys();
    TextSortKeys(const TextSortKeys&) = delete;
    TextSortKeys& operator=(const TextSortKeys&) = delete;

    // Appends the key of text to out.
    void append(QStringView text, std::vector<unsigned char>& out);
    // Appends the first bytes of the key of text, at most length of them: fewer only when the
    // whole key is shorter. A collator makes the start of a key for a fraction of the whole's cost.
    void appendStart(QStringView text, std::size_t length, std::vector<unsigned char>& out);
    // Whether a key is the text's own bytes, which cost no more to make than to copy.
    bool keysAreTexts() const { return utf8_; }

private:
    // The collator of the locale; none for the C locale, whose keys are the texts' UTF-8 bytes as
    // QCollator has them, and none when the locale has no collation, which makes every key empty.
    UCollator* collator_ = nullptr;
    bool utf8_ = false;
    QStringEncoder encoder_;
};
