#include "monitor/MarkSubstitution.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

enum class Context {
    Code,
    Quoted,                // '...', N'...'
    EscapeQuoted,          // PostgreSQL's E'...'
    UnicodeQuoted,         // PostgreSQL's U&'...'
    BitString,             // PostgreSQL's B'...' and X'...'
    DoubleQuoted,          // "..."
    UnicodeDoubleQuoted,   // PostgreSQL's U&"..."
    Bracketed,             // SQL Server's [...]
    LineComment,           // -- to the end of the line
    BlockComment,          // /* ... */
    DollarQuoted,          // PostgreSQL's $tag$ ... $tag$
};

// How a quoted text reads a backslash.
enum class Backslash {
    Plain,     // as written
    Escapes,   // as the start of an escape sequence
    Unknown,   // either way: the server or its session did not tell
};

bool IsIdentifierChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

bool IsTagChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

bool IsLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}

// White space as the servers' lexers know it.
bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\f' || c == u'\v' || IsLineBreak(c);
}

bool IsHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool IsOctalDigit(QChar c)
{
    return c >= u'0' && c <= u'7';
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

bool WordStartsAt(const QString& text, qsizetype at)
{
    return at == 0 || !IsIdentifierChar(text.at(at - 1));
}

// The keyword (lower case) at position at, as a whole word in any case.
bool KeywordAt(const QString& text, qsizetype at, QStringView keyword)
{
    const qsizetype end = at + keyword.size();
    return end <= text.size() && WordStartsAt(text, at)
           && QStringView(text).sliced(at, keyword.size()).compare(keyword, Qt::CaseInsensitive) == 0
           && (end == text.size() || !IsIdentifierChar(text.at(end)));
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

// Past white space and comments from position at; with blockComments false a "/*" ends it, as in
// the white space that carries a PostgreSQL string on. newline tells whether a line break was passed.
qsizetype SkipBlanks(const QString& text, qsizetype at, bool blockComments, bool* newline = nullptr)
{
    while (at < text.size()) {
        const QChar c = text.at(at);
        const QChar next = at + 1 < text.size() ? text.at(at + 1) : QChar();
        if (IsBlank(c)) {
            if (newline && IsLineBreak(c))
                *newline = true;
            ++at;
        } else if (c == u'-' && next == u'-') {
            while (at < text.size() && !IsLineBreak(text.at(at)))
                ++at;
        } else if (blockComments && c == u'/' && next == u'*') {
            int depth = 1;
            at += 2;
            while (at < text.size() && depth > 0) {
                const QChar d = text.at(at);
                const QChar after = at + 1 < text.size() ? text.at(at + 1) : QChar();
                if (d == u'/' && after == u'*') {
                    ++depth;
                    ++at;
                } else if (d == u'*' && after == u'/') {
                    --depth;
                    ++at;
                }
                ++at;
            }
        } else {
            break;
        }
    }
    return at;
}

// The escape character of the U&'...' or U&"..." whose quote stands at position open: the one its
// UESCAPE clause names, else the backslash. nullopt when the clause cannot be relied on: a mark
// stands where it would begin, or it is malformed (the server refuses the script then).
std::optional<QChar> UnicodeEscapeOf(const QString& text, qsizetype open, const QString& mark)
{
    const QChar quote = text.at(open);
    qsizetype at = open + 1;
    for (;;) {
        while (at < text.size()) {
            if (MarkAt(text, at, mark)) {
                at += mark.size();
            } else if (text.at(at) != quote) {
                ++at;
            } else if (at + 1 < text.size() && text.at(at + 1) == quote) {
                at += 2;
            } else {
                break;
            }
        }
        if (at >= text.size())
            return QChar(u'\\');
        ++at;
        // A string goes on in another quote after white space that holds a line break.
        bool newline = false;
        const qsizetype next = SkipBlanks(text, at, false, &newline);
        if (quote != u'\'' || !newline || next >= text.size() || text.at(next) != u'\'')
            break;
        at = next + 1;
    }
    at = SkipBlanks(text, at, true);
    if (MarkAt(text, at, mark))
        return std::nullopt;
    if (!KeywordAt(text, at, u"uescape"))
        return QChar(u'\\');
    at = SkipBlanks(text, at + 7, true);
    if (at + 2 < text.size() && text.at(at) == u'\'' && text.at(at + 2) == u'\''
        && (at + 3 == text.size() || text.at(at + 3) != u'\''))
        return text.at(at + 1);
    return std::nullopt;
}

// Whether an escape sequence of which sequence (the text after its escape character) has been read
// could take in characters that follow.
bool EscapeOpen(QStringView sequence, bool unicode)
{
    if (sequence.isEmpty())
        return true;
    const auto digitsBelow = [sequence](qsizetype limit, bool (*digit)(QChar)) {
        return sequence.size() < limit && std::all_of(sequence.begin() + 1, sequence.end(), digit);
    };
    const QChar first = sequence.front();
    if (unicode) {
        if (first == u'+')
            return digitsBelow(7, IsHexDigit);   // \+XXXXXX
        return sequence.size() < 4 && std::all_of(sequence.begin(), sequence.end(), IsHexDigit);   // \XXXX
    }
    if (first == u'x')
        return digitsBelow(3, IsHexDigit);   // \xH, \xHH
    if (IsOctalDigit(first))
        return sequence.size() < 3 && std::all_of(sequence.begin(), sequence.end(), IsOctalDigit);
    if (first == u'u')
        return digitsBelow(5, IsHexDigit);
    if (first == u'U')
        return digitsBelow(9, IsHexDigit);
    return false;
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

QChar ClosingChar(Context context)
{
    switch (context) {
    case Context::DoubleQuoted:
    case Context::UnicodeDoubleQuoted:
        return u'"';
    case Context::Bracketed:
        return u']';
    default:
        return u'\'';
    }
}

// Walks the script as the server's lexer would and copies it with the value in place of every
// mark. Where the walk may have parted from the server's (a backslash in a string of unknown kind,
// a character some other server reads as a quote or a comment), every later mark takes the value
// as a plain word, which means the same in any place.
class Substitution {
public:
    Substitution(const QString& text, const QString& mark, const QString& value, const SqlSyntax& syntax)
        : text_(text), mark_(mark), value_(value), dialect_(syntax.dialect)
    {
        // Fixed-width text columns pad their values with blanks, which are harmless around a word.
        qsizetype begin = 0;
        qsizetype end = value.size();
        while (begin < end && value.at(begin) == u' ')
            ++begin;
        while (end > begin && value.at(end - 1) == u' ')
            --end;
        plainWord_ = std::all_of(value.begin() + begin, value.begin() + end, IsPlainWordChar);

        switch (dialect_) {
        case SqlDialect::SqlServer:
            strings_ = Backslash::Plain;
            break;
        case SqlDialect::PostgreSql:
            if (syntax.standardStrings)
                strings_ = *syntax.standardStrings ? Backslash::Plain : Backslash::Escapes;
            // Where the script sets the strings itself, what follows may be read either way.
            settingMentioned_ = text.indexOf(QStringLiteral("standard_conforming_strings"), 0, Qt::CaseInsensitive);
            break;
        case SqlDialect::Other:
            break;
        }
    }

    std::optional<QStringList> Lines()
    {
        QStringList lines;
        QString out;
        qsizetype i = 0;
        while (i < text_.size()) {
            if (settingMentioned_ >= 0 && i >= settingMentioned_)
                strings_ = Backslash::Unknown;
            if (MarkAt(text_, i, mark_)) {
                if (!PutValue(out, i, i + mark_.size()))
                    return std::nullopt;
                i += mark_.size();
                escaped_ = false;
                escapeStart_ = -1;
                continue;
            }
            const qsizetype length = Step(i);
            for (qsizetype k = i; k < i + length; ++k) {
                if (text_.at(k) == u'\n') {
                    lines << out;
                    out.clear();
                } else {
                    out += text_.at(k);
                }
            }
            i += length;
        }
        lines << out;
        return lines;
    }

private:
    Backslash BackslashIn(Context context) const
    {
        switch (context) {
        case Context::Quoted:
            return strings_;
        case Context::EscapeQuoted:
            return Backslash::Escapes;
        case Context::DoubleQuoted:
            // A string on some servers, taking backslash escapes on some of those.
            return dialect_ == SqlDialect::Other ? Backslash::Unknown : Backslash::Plain;
        default:
            return Backslash::Plain;
        }
    }

    bool EscapeOpenAt(qsizetype at, bool unicode) const
    {
        return escapeStart_ >= 0
               && EscapeOpen(QStringView(text_).sliced(escapeStart_ + 1, at - escapeStart_ - 1), unicode);
    }

    bool PutValue(QString& out, qsizetype at, qsizetype after)
    {
        if (uncertain_)
            return PutBareValue(out, after);
        switch (context_) {
        case Context::Quoted:
        case Context::EscapeQuoted:
        case Context::DoubleQuoted: {
            const QChar quote = ClosingChar(context_);
            switch (BackslashIn(context_)) {
            case Backslash::Plain:
                out += Doubled(value_, quote);
                return true;
            case Backslash::Unknown:
                if (value_.contains(u'\\'))
                    return false;
                out += Doubled(value_, quote);
                return true;
            case Backslash::Escapes:
                if (EscapeOpenAt(at, false))
                    return false;
                out += Doubled(Doubled(value_, u'\\'), quote);
                return true;
            }
            return false;
        }
        case Context::UnicodeQuoted:
        case Context::UnicodeDoubleQuoted:
            // Doubling the escape character would keep the value, but a script that names its own
            // escape character expects it in no value.
            if (!unicodeEscape_ || value_.contains(*unicodeEscape_) || EscapeOpenAt(at, true))
                return false;
            out += Doubled(value_, ClosingChar(context_));
            return true;
        case Context::Bracketed:
            out += Doubled(value_, u']');
            return true;
        default:
            return PutBareValue(out, after);
        }
    }

    bool OpensAt(const QString& text, qsizetype at) const
    {
        const QChar c = text.at(at);
        const QChar next = at + 1 < text.size() ? text.at(at + 1) : QChar();
        if ((c == u'-' && next == u'-') || (c == u'/' && next == u'*'))
            return true;
        if (dialect_ == SqlDialect::SqlServer)
            return false;
        if (dialect_ == SqlDialect::Other && c == u'#')
            return true;
        return DollarTagAt(text, at).has_value();
    }

    // The value stands as code: one plain word that neither opens a comment or a dollar-quoted text
    // nor completes one with the characters around it, nor ends the body it stands in.
    bool PutBareValue(QString& out, qsizetype after)
    {
        if (!plainWord_)
            return false;
        qsizetype lineEnd = after;
        while (lineEnd < text_.size() && !IsLineBreak(text_.at(lineEnd)))
            ++lineEnd;
        const QString joined = out + value_ + text_.sliced(after, lineEnd - after);
        const qsizetype from = out.size();
        const qsizetype end = from + value_.size();
        // A dollar tag may begin before the value and end in it.
        qsizetype first = from;
        while (first > 0 && IsTagChar(joined.at(first - 1)))
            --first;
        first = std::max<qsizetype>(std::min(first - 1, from - 1), 0);
        for (qsizetype at = first; at < end; ++at) {
            if (OpensAt(joined, at))
                return false;
        }
        // In code a word just before a quote would be the prefix of its string (E'...' reads
        // backslashes); elsewhere the quote may well be the one that closes the mark's string.
        const bool code = context_ == Context::Code || context_ == Context::DollarQuoted;
        if (code && end > 0 && end < joined.size() && joined.at(end) == u'\'' && IsIdentifierChar(joined.at(end - 1)))
            return false;
        if (context_ == Context::DollarQuoted) {
            // The closing tag ends the body wherever it stands, also inside a word.
            for (qsizetype at = std::max<qsizetype>(from - tag_.size() + 1, 0); at < end; ++at) {
                if (QStringView(joined).mid(at, tag_.size()) == tag_)
                    return false;
            }
        }
        out += value_;
        return true;
    }

    void Open(Context context)
    {
        context_ = context;
        escaped_ = false;
        escapeStart_ = -1;
    }

    void Close()
    {
        const Context closed = context_;
        context_ = Context::Code;
        if (dialect_ == SqlDialect::PostgreSql && ClosingChar(closed) == u'\'')
            continuation_ = Continuation{closed};
    }

    // The kind of string whose quote stands at position at.
    Context StringAt(qsizetype at) const
    {
        if (dialect_ != SqlDialect::PostgreSql || at == 0)
            return Context::Quoted;
        if (UnicodePrefixAt(at))
            return Context::UnicodeQuoted;
        if (!WordStartsAt(text_, at - 1))
            return Context::Quoted;
        switch (text_.at(at - 1).unicode()) {
        case u'E':
        case u'e':
            return Context::EscapeQuoted;
        case u'B':
        case u'b':
        case u'X':
        case u'x':
            return Context::BitString;
        default:
            return Context::Quoted;
        }
    }

    bool UnicodePrefixAt(qsizetype at) const
    {
        return dialect_ == SqlDialect::PostgreSql && at >= 2 && text_.at(at - 1) == u'&'
               && (text_.at(at - 2) == u'U' || text_.at(at - 2) == u'u') && WordStartsAt(text_, at - 2);
    }

    // Moves the context on over the character (or the token) at i; returns its length.
    qsizetype Step(qsizetype i)
    {
        const QChar c = text_.at(i);
        const QChar next = i + 1 < text_.size() ? text_.at(i + 1) : QChar();
        switch (context_) {
        case Context::Code:
            return StepCode(i, c, next);
        case Context::LineComment:
            if (IsLineBreak(c)) {
                context_ = Context::Code;
                if (continuation_)
                    continuation_->afterBreak = true;
            }
            return 1;
        case Context::BlockComment:
            if (c == u'/' && next == u'*') {
                // Other servers' comments may not nest.
                if (dialect_ == SqlDialect::Other)
                    uncertain_ = true;
                else
                    ++depth_;
                return 2;
            }
            if (c == u'*' && next == u'/') {
                if (--depth_ == 0)
                    context_ = Context::Code;
                return 2;
            }
            return 1;
        case Context::DollarQuoted:
            if (QStringView(text_).mid(i, tag_.size()) == tag_) {
                context_ = Context::Code;
                return tag_.size();
            }
            return 1;
        default:
            return StepQuoted(i, c, next);
        }
    }

    qsizetype StepCode(qsizetype i, QChar c, QChar next)
    {
        if (continuation_) {
            if (IsBlank(c)) {
                continuation_->afterBreak = continuation_->afterBreak || IsLineBreak(c);
                return 1;
            }
            if (c == u'-' && next == u'-') {
                context_ = Context::LineComment;
                return 2;
            }
            const Continuation pending = *std::exchange(continuation_, std::nullopt);
            if (c == u'\'' && pending.afterBreak) {
                // The same string goes on, of the same kind.
                Open(pending.kind);
                return 1;
            }
        }
        if (c == u'\'' || c == u'"') {
            const bool unicode = UnicodePrefixAt(i);
            Open(c == u'"' ? (unicode ? Context::UnicodeDoubleQuoted : Context::DoubleQuoted) : StringAt(i));
            if (unicode)
                unicodeEscape_ = UnicodeEscapeOf(text_, i, mark_);
            return 1;
        }
        if (c == u'-' && next == u'-') {
            context_ = Context::LineComment;
            return 2;
        }
        if (c == u'/' && next == u'*') {
            context_ = Context::BlockComment;
            depth_ = 1;
            return 2;
        }
        switch (dialect_) {
        case SqlDialect::SqlServer:
            if (c == u'[')
                Open(Context::Bracketed);
            break;
        case SqlDialect::PostgreSql:
            if (const auto tag = DollarTagAt(text_, i)) {
                context_ = Context::DollarQuoted;
                tag_ = *tag;
                return tag->size();
            }
            break;
        case SqlDialect::Other:
            // Names, comments, quotes or escapes on some servers.
            if (c == u'[' || c == u'`' || c == u'#' || c == u'$' || c == u'\\')
                uncertain_ = true;
            break;
        }
        return 1;
    }

    qsizetype StepQuoted(qsizetype i, QChar c, QChar next)
    {
        if (escaped_) {
            escaped_ = false;
            if (c == u'\\')
                escapeStart_ = -1;   // a backslash written twice
            return 1;
        }
        if (context_ == Context::UnicodeQuoted || context_ == Context::UnicodeDoubleQuoted) {
            // Escapes of these are read after the quotes, which alone end the text.
            if (unicodeEscape_ && c == *unicodeEscape_) {
                escapeStart_ = escapeStart_ == i - 1 ? -1 : i;
                return 1;
            }
        } else if (c == u'\\') {
            switch (BackslashIn(context_)) {
            case Backslash::Escapes:
                escaped_ = true;
                escapeStart_ = i;
                return 1;
            case Backslash::Unknown:
                uncertain_ = true;
                break;
            case Backslash::Plain:
                break;
            }
        }
        const QChar close = ClosingChar(context_);
        if (c == close) {
            if (next == close)
                return 2;
            Close();
        }
        return 1;
    }

    // A PostgreSQL string just ended: a quote after white space with a line break carries it on.
    struct Continuation {
        Context kind;
        bool afterBreak = false;
    };

    const QString& text_;
    const QString& mark_;
    const QString& value_;
    const SqlDialect dialect_;
    bool plainWord_ = true;
    Backslash strings_ = Backslash::Unknown;
    qsizetype settingMentioned_ = -1;
    Context context_ = Context::Code;
    bool uncertain_ = false;
    // Inside a string: just after a backslash escape, and where the last escape sequence began.
    bool escaped_ = false;
    qsizetype escapeStart_ = -1;
    std::optional<QChar> unicodeEscape_;
    std::optional<Continuation> continuation_;
    int depth_ = 0;
    QString tag_;
};

} // namespace

bool SubstituteMark(QStringList& lines, const QString& mark, const QString& value, const SqlSyntax& syntax)
{
    if (lines.isEmpty())
        return true;
    const QString text = lines.join(u'\n');
    std::optional<QStringList> substituted = Substitution(text, mark, value, syntax).Lines();
    if (!substituted)
        return false;
    lines = std::move(*substituted);
    return true;
}
