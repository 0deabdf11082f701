// An INI file followed by edits. An untouched document writes back byte for byte; a written value
// reads back; an edit changes nothing but its own key; several keys written or removed at once
// are the same as one after the other; what a document holds is what its bytes say.

#include "FuzzCheck.h"
#include "platform/IniDocument.h"
#include "platform/TextCodec.h"

#include <QList>

#include <optional>
#include <utility>

namespace {

using Probe = std::pair<QString, QString>;

// What looks like a section or key name in the file, so that edits meet the names it holds: the
// fuzzer cannot see into Qt's comparisons to find them itself.
QStringList NamesIn(const QByteArray& file)
{
    QStringList names;
    for (const QByteArray& line : file.split('\n')) {
        const QByteArray text = line.trimmed();
        if (text.startsWith('[') && text.contains(']'))
            names.append(FromCp1251(text.sliced(1, text.lastIndexOf(']') - 1)));
        else if (text.contains('='))
            names.append(FromCp1251(text.first(text.indexOf('='))));
    }
    return names;
}

// A name of the file, text the code page holds exactly, or any text, which the file keeps as far
// as the code page can.
QString TakeIniText(FuzzedDataProvider& input, const QStringList& names)
{
    switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        if (!names.isEmpty())
            return names[input.ConsumeIntegralInRange<qsizetype>(0, names.size() - 1)];
        [[fallthrough]];
    case 1:
        return TakeText(input, 12);
    default:
        QByteArray bytes = TakeBytes(input, 12);
        return FromCp1251(bytes.replace('\x98', 'x'));
    }
}

// Names are compared as the file holds them: in the code page, blanks around dropped, any case.
QString StoredName(const QString& name)
{
    return FromCp1251(ToCp1251(name).trimmed());
}

bool SameName(const QString& a, const QString& b)
{
    return StoredName(a).compare(StoredName(b), Qt::CaseInsensitive) == 0;
}

// What a read gives back for a written value: the blanks around it and enclosing quotes go.
QString ReadBack(const QString& value)
{
    QByteArray bytes = ToCp1251(value).trimmed();
    if (bytes.size() >= 2 && (bytes.front() == '"' || bytes.front() == '\'') && bytes.back() == bytes.front())
        bytes = bytes.sliced(1, bytes.size() - 2);
    return FromCp1251(bytes);
}

struct Seen {
    std::optional<QString> value;
    QStringList keys;
    bool hasSection = false;

    bool operator==(const Seen&) const = default;
};

QList<Seen> Look(const IniDocument& document, const QList<Probe>& probes)
{
    QList<Seen> seen;
    for (const auto& [section, key] : probes)
        seen.append({document.Value(section, key), document.Keys(section), document.HasSection(section)});
    return seen;
}

QString Describe(const Probe& probe)
{
    return QStringLiteral("[%1] %2").arg(probe.first, probe.second);
}

// Every probe but the edited key (and the edited section's key list) reads as before.
void RequireUntouched(const IniDocument& document, const QList<Probe>& probes, const QList<Seen>& before,
                      const Probe& edited, bool sectionMayAppear)
{
    const QList<Seen> after = Look(document, probes);
    for (qsizetype i = 0; i < probes.size(); ++i) {
        const bool sameSection = SameName(probes[i].first, edited.first);
        if (!(sameSection && SameName(probes[i].second, edited.second)))
            Require(after[i].value == before[i].value, "an edit leaves the other keys alone", Describe(probes[i]));
        if (!sameSection) {
            Require(after[i].keys == before[i].keys, "an edit leaves the other sections alone", Describe(probes[i]));
            Require(after[i].hasSection == before[i].hasSection, "an edit adds no other section", Describe(probes[i]));
        } else if (!sectionMayAppear) {
            Require(after[i].hasSection == before[i].hasSection, "a removal adds no section", Describe(probes[i]));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QByteArray original = TakeBytes(input, 4096);
    IniDocument document(original);
    Require(document.ToBytes() == original, "an untouched document writes back byte for byte");

    const QStringList names = NamesIn(QByteArray(original).replace('\r', '\n'));
    QList<Probe> probes;
    while (input.remaining_bytes() > 0) {
        const Probe probe{TakeIniText(input, names), TakeIniText(input, names)};
        const auto& [section, key] = probe;
        probes.append(probe);
        const QList<Seen> before = Look(document, probes);
        const QByteArray bytesBefore = document.ToBytes();

        switch (input.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: {
            const QString value = TakeIniText(input, names);
            if (!document.SetValue(section, key, value)) {
                Require(document.ToBytes() == bytesBefore, "a refused write changes nothing");
                continue;
            }
            Require(document.Value(section, key) == ReadBack(value), "a written value reads back", Describe(probe));
            Require(document.HasSection(section), "a written key's section is there");
            bool listed = false;
            for (const QString& name : document.Keys(section))
                listed = listed || SameName(name, key);
            Require(listed, "a written key is listed", Describe(probe));
            RequireUntouched(document, probes, before, probe, true);
            break;
        }
        case 1: {
            const bool removed = document.RemoveKey(section, key);
            Require(removed == before.last().value.has_value(), "removal finds the key a read finds", Describe(probe));
            Require(!document.Value(section, key), "a removed key is gone", Describe(probe));
            if (!removed)
                Require(document.ToBytes() == bytesBefore, "removing a missing key changes nothing");
            RequireUntouched(document, probes, before, probe, false);
            break;
        }
        default: {
            // Several keys written, then several removed, at once: the same as one after the other.
            const QList<IniValue> values{{key, TakeIniText(input, names)},
                                         {TakeIniText(input, names), TakeIniText(input, names)}};
            const QStringList removed{TakeIniText(input, names), TakeIniText(input, names)};
            IniDocument oneByOne = document;
            bool stored = true;
            for (const IniValue& value : values)
                stored = oneByOne.SetValue(section, value.key, value.value) && stored;
            if (!document.SetValues(section, values)) {
                Require(!stored, "several keys are refused only when one of them is", Describe(probe));
                Require(document.ToBytes() == bytesBefore, "a refused write changes nothing");
                continue;
            }
            Require(stored && document.ToBytes() == oneByOne.ToBytes(), "several keys write as one after the other",
                    Describe(probe));
            bool anyRemoved = false;
            for (const QString& name : removed)
                anyRemoved = oneByOne.RemoveKey(section, name) || anyRemoved;
            Require(document.RemoveKeys(section, removed) == anyRemoved, "several removals find what single ones do",
                    Describe(probe));
            Require(document.ToBytes() == oneByOne.ToBytes(), "several keys remove as one after the other",
                    Describe(probe));
            break;
        }
        }

        QStringList keys;
        for (const IniValue& value : document.Values(section)) {
            keys.append(value.key);
            // A name holding a byte the code page leaves undefined cannot be asked for by name.
            if (FitsCp1251(value.key))
                Require(document.Value(section, value.key) == value.value, "a section's values are its keys' values",
                        Describe(probe));
        }
        Require(keys == document.Keys(section), "a section's values list its keys", Describe(probe));

        const QByteArray bytes = document.ToBytes();
        const IniDocument reread(bytes);
        Require(reread.ToBytes() == bytes, "a written document writes back byte for byte");
        Require(Look(reread, probes) == Look(document, probes), "a document holds what its bytes say");
    }
    return 0;
}
