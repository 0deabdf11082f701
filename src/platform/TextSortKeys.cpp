#include "platform/TextSortKeys.h"

#include <unicode/ucol.h>
#include <unicode/uiter.h>

#include <algorithm>

TextSortKeys::TextSortKeys(const QLocale& locale)
    : encoder_(QStringConverter::Utf8, QStringConverter::Flag::Stateless)
{
    if (locale.language() == QLocale::C) {
        utf8_ = true;
        return;
    }
    // The settings QCollator gives ICU: canonical equivalence, differences of accent but not of
    // case, digits one by one, punctuation counted.
    UErrorCode status = U_ZERO_ERROR;
    collator_ = ucol_open(locale.bcp47Name().replace(u'-', u'_').toLatin1().constData(), &status);
    if (U_FAILURE(status)) {
        collator_ = nullptr;
        return;
    }
    const std::pair<UColAttribute, UColAttributeValue> settings[] = {
        {UCOL_NORMALIZATION_MODE, UCOL_ON},
        {UCOL_STRENGTH, UCOL_SECONDARY},
        {UCOL_NUMERIC_COLLATION, UCOL_OFF},
        {UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE},
    };
    for (const auto& [attribute, value] : settings) {
        status = U_ZERO_ERROR;
        ucol_setAttribute(collator_, attribute, value, &status);
    }
}

TextSortKeys::~TextSortKeys()
{
    if (collator_)
        ucol_close(collator_);
}

namespace {

const UChar* IcuChars(QStringView text)
{
    return text.isEmpty() ? u"" : reinterpret_cast<const UChar*>(text.utf16());
}

} // namespace

void TextSortKeys::appendStart(QStringView text, std::size_t length, std::vector<unsigned char>& out)
{
    const std::size_t start = out.size();
    if (collator_) {
        // The parts ICU makes step by step are the bytes of the whole key, without its closing zero.
        UCharIterator iterator;
        uiter_setString(&iterator, IcuChars(text), static_cast<int32_t>(text.size()));
        uint32_t state[2] = {0, 0};
        UErrorCode status = U_ZERO_ERROR;
        out.resize(start + length);
        const int32_t written =
            ucol_nextSortKeyPart(collator_, &iterator, state, out.data() + start, int32_t(length), &status);
        if (U_SUCCESS(status) && written >= 0) {
            out.resize(start + std::size_t(written));
            return;
        }
        out.resize(start);
    }
    append(text, out);
    out.resize(std::min(out.size(), start + length));
}

void TextSortKeys::append(QStringView text, std::vector<unsigned char>& out)
{
    const std::size_t start = out.size();
    if (utf8_) {
        out.resize(start + std::size_t(encoder_.requiredSpace(text.size())));
        char* const begin = reinterpret_cast<char*>(out.data() + start);
        char* const end = encoder_.appendToBuffer(begin, text);
        // QCollator compares these keys as C strings: a text ends at its first NUL.
        out.resize(start + std::size_t(std::find(begin, end, '\0') - begin));
        return;
    }
    if (!collator_)
        return;
    const UChar* const chars = IcuChars(text);
    const auto length = static_cast<int32_t>(text.size());
    // ICU ends a key with a zero byte that no other byte of a key can be: it is left out.
    std::size_t room = 16 + std::size_t(text.size()) * 3;
    for (;;) {
        out.resize(start + room);
        const int32_t needed = ucol_getSortKey(collator_, chars, length, out.data() + start, int32_t(room));
        if (needed > 0 && std::size_t(needed) <= room) {
            out.resize(start + std::size_t(needed) - 1);
            return;
        }
        if (needed <= 0) {
            out.resize(start);
            return;
        }
        room = std::size_t(needed);
    }
}
