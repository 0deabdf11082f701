#include "RecordSets.h"
#include "data/DataErrors.h"
#include "data/display/DataSetModel.h"
#include "data/view/RecordView.h"
#include "data/view/ToggleTitleSort.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

// The monitor's use of a view of fetched rows: the worker fetches, the window's view adopts, sorts
// by title clicks, filters and keeps the operator's row across refreshes.
class TestRecordView : public QObject {
    Q_OBJECT

    QStringList column(RecordView& view, int field)
    {
        QStringList values;
        for (int row = 0; row < view.viewRowCount(); ++row)
            values.append(view.displayText(row, field));
        return values;
    }

private Q_SLOTS:
    void titleClicksCycleTheSort()
    {
        RecordView view;
        view.setRecords(Processes());
        QList<int> sorted;
        const int a = 1;   // status
        const int b = 2;   // login
        ToggleTitleSort(view, a, sorted);
        ToggleTitleSort(view, b, sorted);
        ToggleTitleSort(view, b, sorted);
        QCOMPARE(view.sort(), QStringLiteral("[status] ,[login] DESC"));
        QCOMPARE(sorted, (QList<int>{a, b}));
        QCOMPARE(view.fieldTag(a), 2);
        QCOMPARE(view.fieldTag(b), 1);
        QCOMPARE(column(view, 0), (QStringList{QStringLiteral("7"), QStringLiteral("52"), QStringLiteral("51"), QStringLiteral("60")}));
        ToggleTitleSort(view, b, sorted);
        QCOMPARE(view.sort(), QStringLiteral("[status]"));
        QCOMPARE(sorted, QList<int>{a});
        ToggleTitleSort(view, a, sorted);
        QCOMPARE(view.sort(), QStringLiteral("[status] DESC"));
        ToggleTitleSort(view, a, sorted);
        QCOMPARE(view.sort(), QString());
        QVERIFY(sorted.isEmpty());
        QCOMPARE(column(view, 0), (QStringList{QStringLiteral("51"), QStringLiteral("7"), QStringLiteral("60"), QStringLiteral("52")}));
        // Only the low byte of a tag is the marker.
        view.setFieldTag(0, 0x102);
        ToggleTitleSort(view, 0, sorted);
        QCOMPARE(view.sort(), QStringLiteral("[spid] DESC"));
    }

    // Any column can be sorted by its title, whatever its name holds.
    void titlesWithBracketsAndBlankNamesSort()
    {
        RecordView view;
        view.setRecords(RecordsOf({{"x] DESC ,[y", FieldType::Integer}, {" ", FieldType::LongVarChar}, {"a]]b", FieldType::Integer}},
                                   {{1, "b", 30}, {2, "c", 10}, {3, "a", 20}}));
        QList<int> sorted;
        ToggleTitleSort(view, 1, sorted);
        QCOMPARE(view.sort(), QStringLiteral("[ ]"));
        QCOMPARE(column(view, 0), (QStringList{QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("2")}));
        ToggleTitleSort(view, 1, sorted);
        ToggleTitleSort(view, 1, sorted);
        ToggleTitleSort(view, 0, sorted);
        ToggleTitleSort(view, 0, sorted);
        QCOMPARE(view.sort(), QStringLiteral("[x]] DESC ,[y] DESC"));
        QCOMPARE(column(view, 0), (QStringList{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1")}));
        ToggleTitleSort(view, 0, sorted);
        ToggleTitleSort(view, 2, sorted);
        QCOMPARE(view.sort(), QStringLiteral("[a]]]]b]"));
        QCOMPARE(column(view, 0), (QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("1")}));
    }

    void sortNeedsAnOpenDataSetAndKnownFields()
    {
        RecordView view;
        try {
            view.setSort(QStringLiteral("[spid]"));
            QFAIL("closed");
        } catch (const DataError& e) {
            QCOMPARE(e.message(), QStringLiteral("Cannot perform this operation on a closed dataset"));
        }
        QList<int> sorted;
        QVERIFY_THROWS_EXCEPTION(DataError, ToggleTitleSort(view, 0, sorted));
        view.setRecords(Processes());
        view.setSort(QStringLiteral("[spid] DESC"));
        try {
            view.setSort(QStringLiteral("[spid] ,[nosuch]"));
            QFAIL("unknown field");
        } catch (const DataError& e) {
            QVERIFY(e.message().contains(QStringLiteral("'nosuch'")));
        }
        QCOMPARE(view.sort(), QStringLiteral("[spid] DESC"));
        QCOMPARE(view.displayText(0, 0), QStringLiteral("60"));
    }

    void sortKeepsTheCurrentRecord()
    {
        RecordView view;
        view.setRecords(Processes());
        view.setRecNo(3);
        QCOMPARE(view.fieldText(0), QStringLiteral("60"));
        QSignalSpy scrolled(&view, &RecordView::afterScroll);
        view.setSort(QStringLiteral("[spid]"));
        QCOMPARE(view.fieldText(0), QStringLiteral("60"));
        QCOMPARE(view.recNo(), 4);
        QCOMPARE(scrolled.count(), 1);
    }

    void filterSwitchAndText()
    {
        RecordView view;
        view.setRecords(Processes());
        view.setFilter(QStringLiteral("[spid] > 50 AND [status] = 'Sleeping'"));
        QCOMPARE(view.recordCount(), 4);
        view.setFiltered(true);
        QVERIFY(view.filtered());
        QCOMPARE(column(view, 0), (QStringList{QStringLiteral("51"), QStringLiteral("60")}));
        QCOMPARE(view.recNo(), 1);

        view.setFiltered(false);
        QCOMPARE(view.recordCount(), 4);

        // A rejected expression leaves the switch off and the text as given.
        view.setFilter(QStringLiteral("[spid] > abc"));
        QVERIFY_THROWS_EXCEPTION(DataError, view.setFiltered(true));
        QVERIFY(!view.filtered());
        QCOMPARE(view.filter(), QStringLiteral("[spid] > abc"));
        QCOMPARE(view.recordCount(), 4);

        // Filter text and switch set before the rows come apply to them.
        RecordView exporter;
        exporter.setFilter(QStringLiteral("[login] = 'ANN'"));
        exporter.setFiltered(true);
        exporter.setRecords(Processes());
        QCOMPARE(exporter.recordCount(), 2);
    }

    void adoptionKeepsSortFilterAndTheOperatorsRow()
    {
        RecordView window;
        RecordView worker;
        worker.setRecords(Processes());
        window.adopt(worker);
        QVERIFY(!worker.active());
        QList<int> sorted;
        ToggleTitleSort(window, 0, sorted);   // [spid]
        window.setFilter(QStringLiteral("[status] = 'sleeping' OR [login] = 'bob'"));
        window.setFiltered(true);
        QCOMPARE(column(window, 0), (QStringList{QStringLiteral("7"), QStringLiteral("51"), QStringLiteral("60")}));
        window.setRecNo(2);

        // The refresh, as the worker's hand-over does it.
        const QString sort = window.sort();
        const Bookmark mark = window.bookmark();
        QList<int> tags;
        for (int i = 0; i < window.fieldCount(); ++i)
            tags.append(window.fieldTag(i));
        worker.setRecords(Processes());
        QSignalSpy reset(&window, &RecordView::dataChanged);
        QSignalSpy scrolled(&window, &RecordView::afterScroll);
        window.adopt(worker);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(scrolled.count(), 1);
        QCOMPARE(window.recNo(), 1);
        QCOMPARE(window.fieldTag(0), 0);   // a new result set starts unmarked
        for (int i = 0; i < tags.size(); ++i)
            window.setFieldTag(i, tags[i]);
        window.setSort(sort);
        window.gotoBookmark(mark);

        QCOMPARE(window.sort(), QStringLiteral("[spid]"));
        QVERIFY(window.filtered());
        QCOMPARE(window.recNo(), 2);
        QCOMPARE(window.fieldText(0), QStringLiteral("51"));
        QCOMPARE(window.fieldTag(0), 2);

        // The bookmarked row filtered out, or no longer there.
        const Bookmark runnable = [&] {
            window.setRecNo(1);
            return window.bookmark();
        }();
        window.setFilter(QStringLiteral("[status] = 'sleeping'"));
        QVERIFY_THROWS_EXCEPTION(DataError, window.gotoBookmark(runnable));
        worker.setRecords(ProcessesOf({{1, "x", "y"}}));
        window.adopt(worker);
        QVERIFY_THROWS_EXCEPTION(DataError, window.gotoBookmark(mark));
    }

    void adoptionOfAResultWithoutTheSortField()
    {
        RecordView window;
        RecordView worker;
        window.setRecords(Processes());
        window.setSort(QStringLiteral("[login]"));
        worker.setRecords(RecordsOf({{"other", FieldType::Integer}}, {{1}}));
        QVERIFY_THROWS_EXCEPTION(DataError, window.adopt(worker));
        QVERIFY(window.active());
        QCOMPARE(window.recordCount(), 1);
        QCOMPARE(window.sort(), QString());
    }

    void modelFollowsTheView()
    {
        RecordView view;
        DataSetModel model(&view);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);

        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        view.setRecords(Processes());
        QCOMPARE(resets.count(), 1);
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("login"));
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("7"));
        QCOMPARE(model.index(1, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight, Qt::AlignRight);

        QSignalSpy headers(&model, &QAbstractItemModel::headerDataChanged);
        QList<int> sorted;
        ToggleTitleSort(view, 0, sorted);
        ToggleTitleSort(view, 0, sorted);
        QCOMPARE(model.headerData(0, Qt::Horizontal, DataSetModel::SortMarkerRole).toInt(), 1);
        QCOMPARE(model.headerData(1, Qt::Horizontal, DataSetModel::SortMarkerRole).toInt(), 0);
        QCOMPARE(headers.count(), 2);
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("60"));

        view.setFilter(QStringLiteral("[login] = 'ann'"));
        view.setFiltered(true);
        QCOMPARE(model.rowCount(), 2);

        RecordView worker;
        worker.setRecords(ProcessesOf({{52, "x", "ann"}}));
        view.adopt(worker);
        QCOMPARE(model.rowCount(), 1);
        view.close();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);
    }

    // A refresh with the same fields and as many rows tells the view only the cells that changed.
    void refreshOfTheSameShapeTellsOnlyChangedCells()
    {
        RecordView window;
        DataSetModel model(&window);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        RecordView worker;
        worker.setRecords(Processes());
        window.adopt(worker);
        QList<int> sorted;
        ToggleTitleSort(window, 0, sorted);   // [spid]: 7, 51, 52, 60
        window.setRecNo(3);
        const Bookmark row52 = window.bookmark();

        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy cells(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy scrolled(&window, &RecordView::afterScroll);
        worker.setRecords(Processes());
        window.adopt(worker, row52);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(cells.count(), 0);
        QCOMPARE(scrolled.count(), 1);
        QCOMPARE(window.recNo(), 3);

        // 51 falls asleep no more, 60 logs in as someone else, and 52 moves to the top.
        worker.setRecords(ProcessesOf({{51, "runnable", "sa"}, {7, "runnable", "bob"}, {60, "sleeping", "eve"}, {1, "runnable", "ann"}}));
        window.adopt(worker, row52);
        QCOMPARE(resets.count(), 0);
        QList<CellRange> told;
        for (const QList<QVariant>& signal : cells) {
            const auto from = signal[0].toModelIndex();
            const auto to = signal[1].toModelIndex();
            told.append({from.row(), to.row(), from.column(), to.column()});
        }
        // Rows in view: 1 (was 7), 7 (was 51), 51 (was 52), 60.
        QCOMPARE(told, (QList<CellRange>{{0, 2, 0, 2}, {3, 3, 2, 2}}));
        QCOMPARE(model.index(3, 2).data().toString(), QStringLiteral("eve"));
        QCOMPARE(window.fieldText(0), QStringLiteral("1"));   // row 52's place in the result

        // A row more or fewer is a new shape.
        worker.setRecords(ProcessesOf({{1, "x", "y"}}));
        window.adopt(worker);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(model.rowCount(), 1);
    }

    // Marks go with the rows they mark: an unsorted view shows a vanished row where it stood, a
    // sorted one where the sort puts it, and a marked refresh of the same shape repaints all it shows.
    void marksTravelWithTheirRows()
    {
        RecordView window;
        DataSetModel model(&window);
        RecordView worker;
        worker.setRecords(Processes());
        window.adopt(worker);
        QSignalSpy cells(&model, &QAbstractItemModel::dataChanged);

        // 7 and 52 stay, 60 is new; 51 (after 7) and 1 (first) vanished and are kept at the end.
        RowMarks marks;
        marks.fieldCount = 3;
        marks.rows = {RowChange::Same, RowChange::Same, RowChange::Appeared, RowChange::Vanished, RowChange::Vanished};
        marks.placeAfter = {-1, -1, -1, 0, -1};
        marks.changed = {quint64(1) << (1 * 3 + 1)};
        worker.setRecords(ProcessesOf({{7, "a", "x"}, {52, "b", "y"}, {60, "c", "z"}, {51, "d", "w"}, {1, "e", "v"}}), marks);
        QCOMPARE(worker.marks().rows.size(), std::size_t(5));
        window.adopt(worker);
        QVERIFY(worker.marks().empty());
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << model.index(row, 0).data().toString() + u'/' + model.index(row, 0).data(DataSetModel::MarkRole).toString();
        QCOMPARE(shown, (QStringList{"1/2", "7/", "51/2", "52/", "60/1"}));
        QCOMPARE(model.index(3, 1).data(DataSetModel::MarkRole).toInt(), int(DataSetModel::CellMark::CellChanged));
        QList<int> sorted;
        ToggleTitleSort(window, 0, sorted);
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("7"));
        QCOMPARE(model.index(3, 0).data().toString(), QStringLiteral("52"));

        worker.setRecords(ProcessesOf({{7, "a", "x"}, {52, "b", "y"}, {60, "c", "z"}, {51, "d", "w"}, {1, "e", "v"}}));
        cells.clear();
        window.adopt(worker);
        QCOMPARE(cells.count(), 1);
        QCOMPARE(cells[0][0].toModelIndex(), model.index(0, 0));
        QCOMPARE(cells[0][1].toModelIndex(), model.index(4, 2));
        QVERIFY(!model.index(4, 0).data(DataSetModel::MarkRole).isValid());
    }
};

QTEST_GUILESS_MAIN(TestRecordView)
#include "tst_record_view.moc"
