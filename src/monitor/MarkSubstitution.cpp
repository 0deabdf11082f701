#include "monitor/MarkSubstitution.h"

#include <algorithm>
#include <optional>

namespace {

enum class Context {
    Code,
    Quoted,         // '...'
    EscapeQuoted,   // E'...': backslash escapes as well
    Bracketed,      // [...]
    DoubleQuoted,   // "..."
    LineComment,    // -- to the end of the line
    BlockComment,   // /* ... */, nested
    DollarQuoted,   // $tag$ ... $tag$
};

bool IsIdentifierChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

bool IsTagChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// Letters A to Z without regard to case, every other character exactly, as ReplaceTextNoCase does.
bool MarkAt(const QString& text, qsizetype at, const QString& mark)
{
    if (mark.isEmpty() || at + mark.size() > text.size())
        return false;
    for (qsizetype i = 0; i < mark.size(); ++i) {
        const char16_t a = text.at(at + i).unicode();
        const char16_t b = mark.at(i).unicode();
        const auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; };
        if (upper(a) != upper(b))
            return false;
    }
    return true;
}

// The tag with its dollar signs ("$$", "$body$") when a dollar-quoted text opens at position at.
std::optional<QString> DollarTagAt(const QString& text, qsizetype at)
{
    if (text.at(at) != u'$' || (at > 0 && IsIdentifierChar(text.at(at - 1))))
        return std::nullopt;
    qsizetype end = at + 1;
    if (end < text.size() && text.at(end).isDigit())
        return std::nullopt;   // $1 is a parameter
    while (end < text.size() && IsTagChar(text.at(end)))
        ++end;
    if (end >= text.size() || text.at(end) != u'$')
        return std::nullopt;
    return text.mid(at, end - at + 1);
}

// Whether a comment or a dollar-quoted text starts at position at of code.
bool OpensAt(const QString& text, qsizetype at)
{
    const QChar c = text.at(at);
    const QChar next = at + 1 < text.size() ? text.at(at + 1) : QChar();
    return (c == u'-' && next == u'-') || (c == u'/' && next == u'*') || DollarTagAt(text, at).has_value();
}

bool IsPlainWordChar(QChar c)
{
    if (c.unicode() < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_'
               || c == u'.' || c == u'-' || c == u':' || c == u'@' || c == u'#' || c == u'$';
    switch (c.category()) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
        return true;
    default:
        return false;
    }
}

QString Doubled(QString value, QChar c)
{
    return value.replace(c, QString(2, c));
}

// Walks the script as the server's lexer would, carrying quoted texts and block comments from one
// line to the next, and copies it with the value in place of every mark.
class Substitution {
public:
    Substitution(const QString& mark, const QString& value) : mark_(mark), value_(value)
    {
        // Fixed-width text columns pad their values with blanks, which are harmless around a word.
        qsizetype begin = 0;
        qsizetype end = value.size();
        while (begin < end && value.at(begin) == u' ')
            ++begin;
        while (end > begin && value.at(end - 1) == u' ')
            --end;
        plainWord_ = std::all_of(value.begin() + begin, value.begin() + end, IsPlainWordChar);
    }

    std::optional<QString> Line(const QString& line)
    {
        QString out;
        qsizetype i = 0;
        while (i < line.size()) {
            if (MarkAt(line, i, mark_)) {
                if (!PutValue(out, line, i + mark_.size()))
                    return std::nullopt;
                i += mark_.size();
                escaped_ = false;
                continue;
            }
            i = Step(line, i, out);
        }
        if (context_ == Context::LineComment)
            context_ = Context::Code;
        escaped_ = false;
        return out;
    }

private:
    bool PutValue(QString& out, const QString& line, qsizetype after)
    {
        switch (context_) {
        case Context::Quoted:
            out += Doubled(value_, u'\'');
            return true;
        case Context::EscapeQuoted:
            // A backslash just before the mark would escape the value's first character.
            if (escaped_)
                return PutBareValue(out, line, after);
            out += Doubled(Doubled(value_, u'\\'), u'\'');
            return true;
        case Context::Bracketed:
            out += Doubled(value_, u']');
            return true;
        case Context::DollarQuoted:
            if (value_.contains(u'$'))
                return false;
            return PutBareValue(out, line, after);
        default:
            return PutBareValue(out, line, after);
        }
    }

    // The value stands as code: one plain word that neither opens a comment or a dollar-quoted text
    // nor completes one with the characters around it.
    bool PutBareValue(QString& out, const QString& line, qsizetype after)
    {
        if (!plainWord_)
            return false;
        const qsizetype from = out.size();
        const QString joined = out + value_ + line.mid(after);
        for (qsizetype at = std::max<qsizetype>(from - 1, 0); at < from + value_.size(); ++at) {
            if (OpensAt(joined, at))
                return false;
        }
        out += value_;
        return true;
    }

    // Copies the character (or the pair) at i and moves the context on; returns the next position.
    qsizetype Step(const QString& line, qsizetype i, QString& out)
    {
        const QChar c = line.at(i);
        const QChar next = i + 1 < line.size() ? line.at(i + 1) : QChar();
        qsizetype length = 1;
        switch (context_) {
        case Context::Code:
            if (c == u'\'') {
                const bool escapeString = i > 0 && (line.at(i - 1) == u'E' || line.at(i - 1) == u'e')
                                          && (i < 2 || !IsIdentifierChar(line.at(i - 2)));
                context_ = escapeString ? Context::EscapeQuoted : Context::Quoted;
            } else if (c == u'[') {
                context_ = Context::Bracketed;
            } else if (c == u'"') {
                context_ = Context::DoubleQuoted;
            } else if (c == u'-' && next == u'-') {
                context_ = Context::LineComment;
                length = 2;
            } else if (c == u'/' && next == u'*') {
                context_ = Context::BlockComment;
                depth_ = 1;
                length = 2;
            } else if (const auto tag = DollarTagAt(line, i)) {
                context_ = Context::DollarQuoted;
                tag_ = *tag;
                length = tag->size();
            }
            break;
        case Context::Quoted:
        case Context::EscapeQuoted:
            if (escaped_) {
                escaped_ = false;
            } else if (context_ == Context::EscapeQuoted && c == u'\\') {
                escaped_ = true;
            } else if (c == u'\'') {
                if (next == u'\'')
                    length = 2;
                else
                    context_ = Context::Code;
            }
            break;
        case Context::Bracketed:
            if (c == u']') {
                if (next == u']')
                    length = 2;
                else
                    context_ = Context::Code;
            }
            break;
        case Context::DoubleQuoted:
            if (c == u'"') {
                if (next == u'"')
                    length = 2;
                else
                    context_ = Context::Code;
            }
            break;
        case Context::LineComment:
            break;
        case Context::BlockComment:
            if (c == u'/' && next == u'*') {
                ++depth_;
                length = 2;
            } else if (c == u'*' && next == u'/') {
                length = 2;
                if (--depth_ == 0)
                    context_ = Context::Code;
            }
            break;
        case Context::DollarQuoted:
            if (line.mid(i, tag_.size()) == tag_) {
                length = tag_.size();
                context_ = Context::Code;
            }
            break;
        }
        out += line.mid(i, length);
        return i + length;
    }

    const QString& mark_;
    const QString& value_;
    bool plainWord_ = true;
    Context context_ = Context::Code;
    bool escaped_ = false;
    int depth_ = 0;
    QString tag_;
};

} // namespace

bool SubstituteMark(QStringList& lines, const QString& mark, const QString& value)
{
    Substitution substitution(mark, value);
    QStringList result;
    result.reserve(lines.size());
    for (const QString& line : lines) {
        std::optional<QString> substituted = substitution.Line(line);
        if (!substituted)
            return false;
        result << *substituted;
    }
    lines = result;
    return true;
}
