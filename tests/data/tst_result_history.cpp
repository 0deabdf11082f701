#include "RecordSets.h"

#include "data/DataErrors.h"
#include "data/history/FrameCodec.h"
#include "data/history/ResultChanges.h"
#include "data/history/ResultComparer.h"
#include "data/history/ResultHistory.h"
#include "data/history/ResultTracker.h"
#include "data/records/FieldKinds.h"

#include <QTest>
#include <QtEndian>

// Frames, history, row matching and change marks, on record sets built by hand.
class TestResultHistory : public QObject {
    Q_OBJECT

    // Sessions: (spid, status, cpu).
    static std::unique_ptr<RecordSet> sessions(const QList<QVariantList>& rows)
    {
        return RecordsOf({{"spid", FieldType::Integer}, {"status", FieldType::VarChar}, {"cpu", FieldType::BigInt}},
                         rows);
    }

    // Every field's description and every cell, as exactly as the record set gives them.
    static QStringList dump(const RecordSet& records)
    {
        QStringList lines;
        for (int c = 0; c < records.fieldCount(); ++c) {
            const FieldInfo& f = records.field(c);
            lines << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                         .arg(f.name)
                         .arg(int(f.type))
                         .arg(f.sqlType)
                         .arg(f.typeName)
                         .arg(f.size)
                         .arg(f.decimals)
                         .arg(f.tag);
        }
        for (int row = 0; row < records.rowCount(); ++row) {
            QStringList cells;
            for (int c = 0; c < records.fieldCount(); ++c) {
                cells << (records.isNull(row, c) ? QStringLiteral("-")
                                                 : records.displayText(row, c) + u'|' + records.value(row, c).toString());
            }
            lines << cells.join(u';');
        }
        return lines;
    }

    // A column of each kind, described in full (the sort marker set), with a row of values, a row
    // of nulls and a row of other values: wide and long text, a negative zero, an offset.
    static std::unique_ptr<RecordSet> everyKind()
    {
        QList<FieldInfo> fields;
        for (std::size_t i = 0; i < FieldTypeCount; ++i) {
            FieldInfo f;
            f.name = QStringLiteral("Поле %1").arg(i);
            f.type = FieldType(i);
            f.sqlType = -int(i);
            f.typeName = QStringLiteral("type%1").arg(i);
            f.size = qint64(i) << 33;
            f.decimals = int(i % 4);
            f.tag = 2;
            fields.append(f);
        }
        auto records = std::make_unique<RecordSet>(fields);
        const QString wide = QStringLiteral("Привет, мир ") + QString(70000, u'ы');
        for (int row = 0; row < 3; ++row) {
            for (int c = 0; c < records->fieldCount(); ++c) {
                RecordColumn& column = records->column(c);
                if (row == 1) {
                    column.appendNull();
                } else if (column.withOffsets()) {
                    column.appendOffsetDateTime({row == 0 ? 638'000'000'000'000'000 : -5, row == 0 ? -330 : 840});
                } else if (column.storage() == RecordColumn::Storage::Integer) {
                    const bool integer = FieldKindOf(records->field(c).type).form == ValueForm::Integer;
                    column.appendInteger(row == 0 ? 2'460'000 : integer ? std::numeric_limits<qint64>::min() : -7);
                } else if (column.storage() == RecordColumn::Storage::Real) {
                    column.appendReal(row == 0 ? 0.1 + 0.2 : -0.0);
                } else {
                    const QString text = row == 0 ? QStringLiteral("0A1b") : c % 2 ? wide : QStringLiteral("caf\u00e9");
                    column.appendText(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
                }
            }
        }
        return records;
    }

    // A row's mark and its cells' ("*" changed), e.g. "S.*.".
    static QStringList marksOf(const RowMarks& marks)
    {
        QStringList rows;
        for (std::size_t row = 0; row < marks.rows.size(); ++row) {
            QString text(QChar(u"SAVU"[int(marks.rows[row])]));
            for (int c = 0; c < marks.fieldCount; ++c)
                text += marks.cellChanged(int(row), c) ? u'*' : u'.';
            rows << text;
        }
        return rows;
    }

    static std::vector<int> ints(std::initializer_list<int> values) { return values; }

private Q_SLOTS:
    void everyKindIsKeptExactly()
    {
        const std::unique_ptr<RecordSet> records = everyKind();
        QStringList expected = dump(*records);
        QCOMPARE(dump(*records->clone()), expected);
        const std::unique_ptr<RecordSet> appended = records->clone();
        for (int row = 0; row < 3; ++row)
            appended->appendRow(*records, row);
        QCOMPARE(dump(*appended).mid(records->fieldCount() + 3), expected.mid(records->fieldCount()));

        // A frame keeps no sort marker.
        for (int c = 0; c < records->fieldCount(); ++c)
            expected[c].replace(expected[c].size() - 1, 1, u'0');
        const HistoryFrame frame = EncodeKeyframe(*records, 1234);
        QVERIFY(frame.keyframe);
        QCOMPARE(frame.time, 1234);
        QCOMPARE(frame.rowCount, 3);
        QCOMPARE(dump(*DecodeFrame(frame, nullptr)), expected);
        // A delta against the same rows stores none of their cells, and against nothing all.
        const std::unique_ptr<RecordSet> again = DecodeFrame(EncodeDelta(*records, *records, ints({0, 1, 2}), 5), records.get());
        QCOMPARE(dump(*again), expected);
        QCOMPARE(dump(*DecodeFrame(EncodeDelta(*records, *records, ints({-1, -1, -1}), 5), records.get())), expected);
    }

    void deltasDecodeToTheResultsEncoded()
    {
        const std::vector<std::unique_ptr<RecordSet>> results = [] {
            std::vector<std::unique_ptr<RecordSet>> list;
            list.push_back(sessions({{51, "run", 10}, {52, "sleep", 20}, {53, "run", 30}}));
            list.push_back(sessions({{51, "run", 11}, {53, "run", 30}, {54, "new", 5}}));   // one gone, one new, one changed
            list.push_back(sessions({{54, "new", 5}, {53, QVariant(), 29}, {51, "run", 11}})); // reordered, a null
            list.push_back(sessions({}));
            list.push_back(sessions({{51, "run", 11}, {51, "twin", 12}, {52, "Ждёт", QVariant()}})); // a repeated key
            list.push_back(sessions({{51, "run", 11}, {52, "Ждёт", 1}}));
            list.push_back(RecordsOf({{"spid", FieldType::Integer}}, {{51}, {52}})); // other fields
            list.push_back(RecordsOf({{"spid", FieldType::Integer}}, {{52}}));
            return list;
        }();
        ResultTracker tracker({"spid"}, 4);
        ResultHistory history(3600'000, 100 << 20);
        QList<bool> keyframes;
        for (int i = 0; i < int(results.size()); ++i) {
            const RecordSet& result = *results[std::size_t(i)];
            ResultTracker::Refresh refresh = tracker.track(result.clone(), 1000 * i, nullptr, false, true);
            keyframes << refresh.frame.keyframe;
            // The frame holds the rows as fetched; the records the vanished ones besides.
            QCOMPARE(refresh.frame.rowCount, result.rowCount());
            QCOMPARE(refresh.records->rowCount(), refresh.marks.empty() ? result.rowCount() : int(refresh.marks.rows.size()));
            QVERIFY(history.append(refresh.frame));
        }
        QCOMPARE(keyframes, (QList<bool>{true, false, false, false, true, false, true, false}));
        // Out of order, so that the decoded result kept serves some and not others.
        for (const int i : {5, 0, 2, 3, 1, 2, 7, 4, 6, 7}) {
            const QStringList held = dump(*history.snapshot(i));
            QCOMPARE(held, dump(*results[std::size_t(i)]));
        }
        QVERIFY_THROWS_EXCEPTION(DataError, history.snapshot(8));
    }

    void rowsAreMatchedByKeyOrPosition_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<std::vector<int>>("before");
        QTest::addColumn<QStringList>("marks");
        QTest::addColumn<std::vector<int>>("vanished");
        QTest::addColumn<QStringList>("missing");
        QTest::newRow("key, names without regard to case")
            << QStringList{"SPID"} << ints({2, 0, -1}) << QStringList{"S...*", "S....", "A...."} << ints({1}) << QStringList{};
        QTest::newRow("no key: position") << QStringList{} << ints({0, 1, 2}) << QStringList{"S****", "S****", "S****"}
                                          << ints({}) << QStringList{};
        QTest::newRow("a key missing: position") << QStringList{"spid", "ecid"} << ints({0, 1, 2})
                                                 << QStringList{"S****", "S****", "S****"} << ints({}) << QStringList{"ecid"};
    }

    void rowsAreMatchedByKeyOrPosition()
    {
        QFETCH(QStringList, keys);
        const auto before = RecordsOf({{"spid", FieldType::Integer}, {"at", FieldType::DateTime}, {"host", FieldType::WChar},
                                       {"cpu", FieldType::Float}},
                                      {{51, 10, "a", 1.0}, {52, 20, "b", 2.0}, {53, 30, "c", 3.0}});
        const auto after = RecordsOf({{"spid", FieldType::Integer}, {"at", FieldType::DateTime}, {"host", FieldType::WChar},
                                      {"cpu", FieldType::Float}},
                                     {{53, 30, "c", 3.5}, {51, 10, "a", 1.0}, {54, 40, "d", 0.0}});
        const ResultChanges changes = CompareResults(*before, *after, keys);
        QTEST(changes.before, "before");
        QTEST(marksOf(changes.marks), "marks");
        QTEST(changes.vanished, "vanished");
        QTEST(changes.missingKeyColumns, "missing");
        QCOMPARE(changes.marks.byPosition, keys.isEmpty() || !changes.missingKeyColumns.isEmpty());
    }

    void repeatedKeysAreNeitherMatchedNorLost()
    {
        const auto before = sessions({{51, "a", 1}, {52, "b", 1}, {52, "c", 1}, {55, "d", 1}});
        const ResultChanges changes = CompareResults(
            *before, *sessions({{51, "a", 1}, {51, "b", 1}, {52, "b", 1}, {53, "x", 1}, {53, "y", 1}, {55, "d", 2}}), {"spid"});
        QCOMPARE(marksOf(changes.marks), (QStringList{"U...", "U...", "U...", "U...", "U...", "S..*"}));
        QCOMPARE(changes.before, ints({-1, -1, -1, -1, -1, 3}));
        QCOMPARE(changes.marks.repeatedKeys, 4);
        QCOMPARE(changes.vanished, ints({}));
        QCOMPARE(CompareResults(*before, *sessions({}), {"spid"}).vanished, ints({0, 3}));
    }

    void integerKeysMatchAsTheirDigitsDo()
    {
        // The key as a number (id) and as its text (name): matched alike, repeats and a null included.
        const auto result = [](const QList<QVariantList>& rows) {
            QList<QVariantList> full;
            for (const QVariantList& row : rows)
                full.append({row[0], row[0].isValid() ? row[0].toString() : QVariant(), row[1]});
            return RecordsOf({{"id", FieldType::BigInt}, {"name", FieldType::VarChar}, {"cpu", FieldType::Integer}}, full);
        };
        const auto first = result({{5, 1}, {-3, 1}, {7, 1}, {7, 2}, {QVariant(), 1}, {9, 1}, {4'000'000'000LL, 1}, {12, 1}});
        const auto second = result({{9, 2}, {5, 1}, {8, 1}, {8, 1}, {QVariant(), 3}, {-3, 5}, {7, 1}, {4'000'000'000LL, 1}, {11, 1}});
        const auto described = [](const ResultChanges& changes) {
            QStringList lines = marksOf(changes.marks);
            lines << QStringLiteral("repeated %1").arg(changes.marks.repeatedKeys);
            for (const int row : changes.before)
                lines << QString::number(row);
            lines << QStringLiteral("vanished");
            for (const int row : changes.vanished)
                lines << QString::number(row);
            return lines;
        };
        ResultComparer kept;
        for (const auto& [before, after] : {std::pair{first.get(), second.get()}, std::pair{second.get(), first.get()}}) {
            const QStringList byText = described(CompareResults(*before, *after, {"name"}));
            QCOMPARE(described(CompareResults(*before, *after, {"ID"})), byText);
            // A comparer kept from one comparison to the next forgets the one before.
            QCOMPARE(described(kept.compare(*before, *after, {"id"})), byText);
        }
    }

    void vanishedRowsAreShownWhereTheyWere()
    {
        const auto before = sessions({{1, "a", 0}, {2, "b", 0}, {3, "c", 0}, {4, "d", 0}, {5, "e", 0}});
        ResultChanges changes = CompareResults(*before, *sessions({{3, "c", 0}, {5, "e", 0}, {6, "f", 0}}), {"spid"});
        const std::unique_ptr<RecordSet> shown =
            WithVanishedRows(sessions({{3, "c", 0}, {5, "e", 0}, {6, "f", 0}}), *before, changes);
        QCOMPARE(dump(*shown).mid(3), (QStringList{"3|3;c|c;0|0", "5|5;e|e;0|0", "6|6;f|f;0|0", "1|1;a|a;0|0",
                                                   "2|2;b|b;0|0", "4|4;d|d;0|0"}));
        QCOMPARE(marksOf(changes.marks), (QStringList{"S...", "S...", "A...", "V...", "V...", "V..."}));
        QCOMPARE(changes.marks.placeAfter, ints({-1, -1, -1, -1, 3, 0}));
    }

    void markedAgainstABaselineOrNothingWhenFieldsDiffer()
    {
        ResultTracker tracker({"spid"});
        const auto first = sessions({{51, "a", 1}, {52, "b", 1}});
        QVERIFY(tracker.track(first->clone(), 0, nullptr, false, true).marks.empty());
        tracker.track(sessions({{51, "a", 2}}), 1000, nullptr, false, true);
        // Against the pinned first result, not the refresh before; the frame is still a delta.
        ResultTracker::Refresh pinned = tracker.track(sessions({{51, "a", 2}, {53, "c", 1}}), 2000, first.get(), false, true);
        QCOMPARE(marksOf(pinned.marks), (QStringList{"S..*", "A...", "V..."}));
        QCOMPARE(dump(*pinned.records).last(), QStringLiteral("52|52;b|b;1|1"));
        QVERIFY(!pinned.frame.keyframe);
        QCOMPARE(pinned.frame.rowCount, 2);
        // Asked for, a keyframe; unmarked, nothing appended.
        ResultTracker::Refresh plain = tracker.track(sessions({{53, "c", 1}}), 3000, nullptr, true, false);
        QVERIFY(plain.frame.keyframe);
        QVERIFY(plain.marks.empty());
        QCOMPARE(plain.records->rowCount(), 1);
        // Other fields: nothing to mark against, and a keyframe.
        ResultTracker::Refresh other = tracker.track(RecordsOf({{"SPID", FieldType::Integer}}, {{53}}), 4000, nullptr, false, true);
        QVERIFY(other.frame.keyframe);
        QVERIFY(other.marks.empty());
        QCOMPARE(other.records->rowCount(), 1);
    }

    void limitsDropWholeGroups()
    {
        ResultHistory history(10'000, qint64(1) << 40);
        QVERIFY(!history.append({0, false, 0, "d"}));
        QCOMPARE(history.size(), 0);
        // A keyframe every third second.
        for (int second = 0; second <= 14; ++second)
            QVERIFY(history.append({1000 * second, second % 3 == 0, 0, QByteArray(100, 'x')}));
        // The group of seconds 0-2 is over 10 s old; that of 3-5 is not, wholly.
        QCOMPARE(history.firstSerial(), 3);
        QCOMPARE(history.size(), 12);
        QCOMPARE(history.time(0), 3000);
        const qint64 bytes = history.bytesUsed();
        QVERIFY(bytes >= 1200);
        history.setLimits(10'000, bytes - 1);
        QCOMPARE(history.firstSerial(), 6);
        QVERIFY(history.bytesUsed() < bytes);
        // The newest group stays whatever the limit.
        history.setLimits(0, 0);
        QCOMPARE(history.firstSerial(), 12);
        QCOMPARE(history.size(), 3);
        history.clear();
        QCOMPARE(history.firstSerial(), 15);
        QCOMPARE(history.bytesUsed(), 0);
    }

    void damagedFramesAreRefused()
    {
        const std::unique_ptr<RecordSet> records = everyKind();
        const HistoryFrame frame = EncodeKeyframe(*records, 0);
        for (qsizetype size = 0; size < frame.data.size(); size += 1 + size / 16) {
            HistoryFrame cut = frame;
            cut.data.truncate(size);
            QVERIFY_THROWS_EXCEPTION(DataError, DecodeFrame(cut, nullptr));
        }
        // A body cut short or lengthened, packed as a whole: the reading, not the unpacking, refuses it.
        const QByteArray header = frame.data.left(5);
        const QByteArray body = qUncompress(frame.data.mid(5));
        for (qsizetype size = 0; size <= body.size(); size += 1 + size / 8) {
            HistoryFrame cut = frame;
            cut.data = header + qCompress(size == body.size() ? body + '\0' : body.left(size));
            QVERIFY_THROWS_EXCEPTION(DataError, DecodeFrame(cut, nullptr));
        }
        // A claim of gigabytes unpacked, a frame of another kind or count, a delta without its rows before.
        HistoryFrame bomb = frame;
        qToBigEndian<quint32>(0xfffffff0u, bomb.data.data() + 5);
        QVERIFY_THROWS_EXCEPTION(DataError, DecodeFrame(bomb, nullptr));
        HistoryFrame other = frame;
        other.rowCount = 2;
        QVERIFY_THROWS_EXCEPTION(DataError, DecodeFrame(other, nullptr));
        other = frame;
        other.data[3] = 9;
        QVERIFY_THROWS_EXCEPTION(DataError, DecodeFrame(other, nullptr));
        const HistoryFrame delta = EncodeDelta(*sessions({{1, "a", 2}, {3, "c", 4}}), *sessions({{1, "a", 2}, {3, "c", 4}}),
                                               ints({0, 1}), 0);
        QVERIFY_THROWS_EXCEPTION(DataError, DecodeFrame(delta, nullptr));
        QVERIFY_THROWS_EXCEPTION(DataError, DecodeFrame(delta, sessions({{1, "a", 2}}).get()));
        QVERIFY_THROWS_EXCEPTION(DataError, DecodeFrame(delta, RecordsOf({{"spid", FieldType::Integer}}, {{1}, {3}}).get()));
    }
};

QTEST_GUILESS_MAIN(TestResultHistory)
#include "tst_result_history.moc"
