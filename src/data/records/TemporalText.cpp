#include "data/records/TemporalText.h"

namespace {

class Cursor {
public:
    explicit Cursor(QStringView text) : text_(text) {}

    bool number(int digits, int& value)
    {
        value = 0;
        for (int i = 0; i < digits; ++i) {
            if (at_ >= text_.size() || !text_[at_].isDigit())
                return false;
            value = value * 10 + text_[at_++].digitValue();
        }
        return true;
    }
    bool literal(QChar c)
    {
        if (at_ >= text_.size() || text_[at_] != c)
            return false;
        ++at_;
        return true;
    }
    bool sign(int& value)
    {
        if (literal(u'+'))
            value = 1;
        else if (literal(u'-'))
            value = -1;
        else
            return false;
        return true;
    }
    void skipBlanks()
    {
        while (at_ < text_.size() && text_[at_] == u' ')
            ++at_;
    }
    QStringView digits()
    {
        const qsizetype from = at_;
        while (at_ < text_.size() && text_[at_].isDigit())
            ++at_;
        return text_.sliced(from, at_ - from);
    }
    bool atEnd() const { return at_ == text_.size(); }

private:
    QStringView text_;
    qsizetype at_ = 0;
};

// PostgreSQL's time goes up to 24:00:00.
std::optional<qint64> ReadTime(Cursor& text)
{
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!text.number(2, hour) || !text.literal(u':') || !text.number(2, minute) || !text.literal(u':')
        || !text.number(2, second) || hour > 24 || minute > 59 || second > 59)
        return std::nullopt;
    qint64 fraction = 0;
    if (text.literal(u'.')) {
        const std::optional<qint64> ticks = FractionTicks(text.digits());
        if (!ticks)
            return std::nullopt;
        fraction = *ticks;
    }
    return TimeToTicks(hour, minute, second, fraction);
}

} // namespace

std::optional<qint64> FractionTicks(QStringView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    qint64 ticks = 0;
    qint64 scale = TicksPerSecond / 10;
    bool roundUp = false;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (!digits[i].isDigit())
            return std::nullopt;
        if (scale > 0)
            ticks += digits[i].digitValue() * scale;
        else if (i == 7)
            roundUp = digits[i].digitValue() >= 5;
        scale /= 10;
    }
    return ticks + (roundUp ? 1 : 0);
}

std::optional<qint64> ReadTimeText(QStringView text)
{
    Cursor cursor(text.trimmed());
    const std::optional<qint64> ticks = ReadTime(cursor);
    if (!ticks || !cursor.atEnd())
        return std::nullopt;
    return ticks;
}

std::optional<OffsetDateTime> ReadOffsetDateTimeText(QStringView text)
{
    Cursor cursor(text.trimmed());
    int year = 0;
    int month = 0;
    int day = 0;
    if (!cursor.number(4, year) || !cursor.literal(u'-') || !cursor.number(2, month) || !cursor.literal(u'-')
        || !cursor.number(2, day) || !cursor.literal(u' '))
        return std::nullopt;
    const QDate date(year, month, day);
    const std::optional<qint64> time = ReadTime(cursor);
    cursor.skipBlanks();
    int sign = 0;
    int hours = 0;
    int minutes = 0;
    if (!date.isValid() || !time || !cursor.sign(sign) || !cursor.number(2, hours) || !cursor.literal(u':')
        || !cursor.number(2, minutes) || !cursor.atEnd() || hours > 14 || minutes > 59)
        return std::nullopt;
    OffsetDateTime value;
    value.offsetMinutes = sign * (hours * 60 + minutes);
    value.utcTicks = DateTimeToTicks(date, *time) - value.offsetMinutes * TicksPerMinute;
    return value;
}
