#include "data/view/CellChanges.h"
#include "data/records/RecordColumn.h"
#include "data/records/RecordSet.h"

#include <QTest>

namespace {

void Append(RecordColumn& column, const QString& text)
{
    column.appendText(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
}

QString Expected(int row)
{
    return row % 7 == 0 ? QString() : QStringLiteral("value %1 \u00e9").arg(row);
}

} // namespace

class TestRecordColumn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Enough rows for the buffers to grow many times; nulls and empty texts keep their places.
    void latin1TextStaysOneByteAndReadsBack()
    {
        RecordColumn column(RecordColumn::Storage::Text);
        const int rows = 100000;
        for (int row = 0; row < rows; ++row) {
            if (row % 7 == 0)
                column.appendNull();
            else
                Append(column, Expected(row));
        }
        Append(column, QString());
        column.squeeze();
        QVERIFY(!column.wide());
        QCOMPARE(column.size(), rows + 1);
        for (int row = 0; row < rows; ++row) {
            QCOMPARE(column.isNull(row), row % 7 == 0);
            QCOMPARE(column.textString(row), Expected(row));
        }
        QVERIFY(!column.isNull(rows));
        QVERIFY(column.textString(rows).isEmpty());
        QVERIFY(column.bytesUsed() < qsizetype(rows) * 20);
    }

    // A value beyond Latin-1 after others: the column turns UTF-16 and the earlier rows survive.
    void valueBeyondLatin1WidensTheColumn()
    {
        RecordColumn column(RecordColumn::Storage::Text);
        Append(column, QStringLiteral("caf\u00e9"));
        column.appendNull();
        Append(column, QStringLiteral("\u0451\u0436 \u20ac"));
        Append(column, QStringLiteral("plain"));
        QVERIFY(column.wide());
        QCOMPARE(column.utf16Text(0), QStringView(u"caf\u00e9"));
        QVERIFY(column.isNull(1));
        QCOMPARE(column.utf16Text(2), QStringView(u"\u0451\u0436 \u20ac"));
        QCOMPARE(column.textString(3), QStringLiteral("plain"));
    }

    // UTF-8 as libpq gives it: ASCII goes in as it is, anything else decoded, in the same column.
    void utf8TextMixesWithTheOtherForms()
    {
        RecordColumn column(RecordColumn::Storage::Text);
        column.appendUtf8("ab", 2);
        column.appendUtf8("caf\xc3\xa9", 5);
        QVERIFY(!column.wide());
        column.appendUtf8("", 0);
        column.appendUtf8("\xd0\xb6x", 3);
        QVERIFY(column.wide());
        column.appendUtf8("end", 3);
        const QStringList expected{"ab", QStringLiteral("caf\u00e9"), "", QStringLiteral("\u0436x"), "end"};
        for (int row = 0; row < expected.size(); ++row)
            QCOMPARE(column.textString(row), expected[row]);
        QVERIFY(!column.isNull(2));
    }

    // A date-time with an offset keeps its offset beside its instant, nulls included; a refresh that
    // moves only the offset changes the cell's text, so the cell counts as changed.
    void offsetsStayBesideTheirInstants()
    {
        const auto records = [](int offset) {
            FieldInfo field;
            field.name = QStringLiteral("at");
            field.type = FieldType::DateTimeOffset;
            RecordSet set({field});
            set.column(0).appendNull();
            set.column(0).appendOffsetDateTime({DateTimeToTicks(QDate(2024, 2, 29), 7 * 3600 * TicksPerSecond), offset});
            return set;
        };
        const RecordSet before = records(180);
        QVERIFY(before.column(0).isNull(0));
        QCOMPARE(before.column(0).offsetDateTime(1).offsetMinutes, 180);
        QCOMPARE(before.value(1, 0).toDateTime().offsetFromUtc(), 3 * 3600);
        QCOMPARE(before.value(1, 0).toDateTime().toUTC().time(), QTime(7, 0));
        const RecordSet after = records(-300);
        QCOMPARE(ChangedCells(before, {0, 1}, after, {0, 1}), (std::vector<CellRange>{{1, 1, 0, 0}}));
        QVERIFY(ChangedCells(before, {0, 1}, records(180), {0, 1}).empty());
    }

    void scratchGivesUtf16OfEitherForm()
    {
        RecordColumn narrow(RecordColumn::Storage::Text);
        const QString longText(300, u'\u00ff');
        Append(narrow, longText);
        TextScratch scratch;
        QCOMPARE(narrow.text(0, scratch), QStringView(longText));
        RecordColumn wide(RecordColumn::Storage::Text);
        Append(wide, QStringLiteral("\u0436"));
        QCOMPARE(wide.text(0, scratch), QStringView(u"\u0436"));
    }
};

QTEST_GUILESS_MAIN(TestRecordColumn)
#include "tst_record_column.moc"
