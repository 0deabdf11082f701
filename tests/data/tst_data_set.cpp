#include "ReadingPaths.h"
#include "TestDatabase.h"
#include "data/connection/Connection.h"
#include "data/DataErrors.h"
#include "data/display/DataSetModel.h"
#include "data/Query.h"
#include "data/view/ToggleTitleSort.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

// The monitor's use of a data set: the worker fetches, the window's data set adopts, sorts by
// title clicks, filters and keeps the operator's row across refreshes.
class TestDataSet : public QObject {
    Q_OBJECT

    const bool odbcOnly_;
    Connection connection_;

    void run(Query& query, const QString& sql)
    {
        query.setConnection(&connection_);
        query.setSql({sql});
        query.open();
    }

    QStringList column(Query& query, int field)
    {
        QStringList values;
        for (int row = 0; row < query.viewRowCount(); ++row)
            values.append(query.displayText(row, field));
        return values;
    }

    const QString processes_ = QStringLiteral(
        "select * from (values (51, 'sleeping', 'sa'), (7, 'runnable', 'bob'), (60, 'sleeping', 'ann'),"
        " (52, 'runnable', 'ann')) as p(spid, status, login)");

public:
    explicit TestDataSet(bool odbcOnly) : odbcOnly_(odbcOnly) {}

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(TestDatabase::available(), "the database fixture did not run");
        connection_.setConnectionString(TestDatabase::pgConnectionString());
        connection_.setOdbcOnly(odbcOnly_);
        connection_.open();
    }

    void titleClicksCycleTheSort()
    {
        Query query;
        run(query, processes_);
        QList<int> sorted;
        const int a = 1;   // status
        const int b = 2;   // login
        ToggleTitleSort(query, a, sorted);
        ToggleTitleSort(query, b, sorted);
        ToggleTitleSort(query, b, sorted);
        QCOMPARE(query.sort(), QStringLiteral("[status] ,[login] DESC"));
        QCOMPARE(sorted, (QList<int>{a, b}));
        QCOMPARE(query.fieldTag(a), 2);
        QCOMPARE(query.fieldTag(b), 1);
        QCOMPARE(column(query, 0), (QStringList{QStringLiteral("7"), QStringLiteral("52"), QStringLiteral("51"), QStringLiteral("60")}));
        ToggleTitleSort(query, b, sorted);
        QCOMPARE(query.sort(), QStringLiteral("[status]"));
        QCOMPARE(sorted, QList<int>{a});
        ToggleTitleSort(query, a, sorted);
        QCOMPARE(query.sort(), QStringLiteral("[status] DESC"));
        ToggleTitleSort(query, a, sorted);
        QCOMPARE(query.sort(), QString());
        QVERIFY(sorted.isEmpty());
        QCOMPARE(column(query, 0), (QStringList{QStringLiteral("51"), QStringLiteral("7"), QStringLiteral("60"), QStringLiteral("52")}));
        // Only the low byte of a tag is the marker.
        query.setFieldTag(0, 0x102);
        ToggleTitleSort(query, 0, sorted);
        QCOMPARE(query.sort(), QStringLiteral("[spid] DESC"));
    }

    // Any column can be sorted by its title, whatever its name holds.
    void titlesWithBracketsAndBlankNamesSort()
    {
        Query query;
        run(query, QStringLiteral("select * from (values (1, 'b', 30), (2, 'c', 10), (3, 'a', 20))"
                                  " as t(\"x] DESC ,[y\", \" \", \"a]]b\")"));
        QList<int> sorted;
        ToggleTitleSort(query, 1, sorted);
        QCOMPARE(query.sort(), QStringLiteral("[ ]"));
        QCOMPARE(column(query, 0), (QStringList{QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("2")}));
        ToggleTitleSort(query, 1, sorted);
        ToggleTitleSort(query, 1, sorted);
        ToggleTitleSort(query, 0, sorted);
        ToggleTitleSort(query, 0, sorted);
        QCOMPARE(query.sort(), QStringLiteral("[x]] DESC ,[y] DESC"));
        QCOMPARE(column(query, 0), (QStringList{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1")}));
        ToggleTitleSort(query, 0, sorted);
        ToggleTitleSort(query, 2, sorted);
        QCOMPARE(query.sort(), QStringLiteral("[a]]]]b]"));
        QCOMPARE(column(query, 0), (QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("1")}));
    }

    void sortNeedsAnOpenDataSetAndKnownFields()
    {
        Query query;
        try {
            query.setSort(QStringLiteral("[spid]"));
            QFAIL("closed");
        } catch (const DataError& e) {
            QCOMPARE(e.message(), QStringLiteral("Cannot perform this operation on a closed dataset"));
        }
        QList<int> sorted;
        QVERIFY_THROWS_EXCEPTION(DataError, ToggleTitleSort(query, 0, sorted));
        run(query, processes_);
        query.setSort(QStringLiteral("[spid] DESC"));
        try {
            query.setSort(QStringLiteral("[spid] ,[nosuch]"));
            QFAIL("unknown field");
        } catch (const DataError& e) {
            QVERIFY(e.message().contains(QStringLiteral("'nosuch'")));
        }
        QCOMPARE(query.sort(), QStringLiteral("[spid] DESC"));
        QCOMPARE(query.displayText(0, 0), QStringLiteral("60"));
    }

    void sortKeepsTheCurrentRecord()
    {
        Query query;
        run(query, processes_);
        query.setRecNo(3);
        QCOMPARE(query.fieldText(0), QStringLiteral("60"));
        QSignalSpy scrolled(&query, &Query::afterScroll);
        query.setSort(QStringLiteral("[spid]"));
        QCOMPARE(query.fieldText(0), QStringLiteral("60"));
        QCOMPARE(query.recNo(), 4);
        QCOMPARE(scrolled.count(), 1);
    }

    void filterSwitchAndText()
    {
        Query query;
        run(query, processes_);
        query.setFilter(QStringLiteral("[spid] > 50 AND [status] = 'Sleeping'"));
        QCOMPARE(query.recordCount(), 4);
        query.setFiltered(true);
        QVERIFY(query.filtered());
        QCOMPARE(column(query, 0), (QStringList{QStringLiteral("51"), QStringLiteral("60")}));
        QCOMPARE(query.recNo(), 1);

        query.setFiltered(false);
        QCOMPARE(query.recordCount(), 4);

        // A rejected expression leaves the switch off and the text as given.
        query.setFilter(QStringLiteral("[spid] > abc"));
        QVERIFY_THROWS_EXCEPTION(DataError, query.setFiltered(true));
        QVERIFY(!query.filtered());
        QCOMPARE(query.filter(), QStringLiteral("[spid] > abc"));
        QCOMPARE(query.recordCount(), 4);

        // Filter text and switch set before the open apply to the rows it brings.
        Query exporter;
        exporter.setFilter(QStringLiteral("[login] = 'ANN'"));
        exporter.setFiltered(true);
        run(exporter, processes_);
        QCOMPARE(exporter.recordCount(), 2);
    }

    void adoptionKeepsSortFilterAndTheOperatorsRow()
    {
        Query window;
        Query worker;
        run(worker, processes_);
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
        run(worker, processes_);
        QSignalSpy reset(&window, &Query::dataChanged);
        QSignalSpy scrolled(&window, &Query::afterScroll);
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
        run(worker, QStringLiteral("select 1 as spid, 'x' as status, 'y' as login"));
        window.adopt(worker);
        QVERIFY_THROWS_EXCEPTION(DataError, window.gotoBookmark(mark));
    }

    void adoptionOfAResultWithoutTheSortField()
    {
        Query window;
        Query worker;
        run(window, processes_);
        window.setSort(QStringLiteral("[login]"));
        run(worker, QStringLiteral("select 1 as other"));
        QVERIFY_THROWS_EXCEPTION(DataError, window.adopt(worker));
        QVERIFY(window.active());
        QCOMPARE(window.recordCount(), 1);
        QCOMPARE(window.sort(), QString());
    }

    void modelFollowsTheDataSet()
    {
        Query query;
        DataSetModel model(&query);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);

        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        run(query, processes_);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("login"));
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("7"));
        QCOMPARE(model.index(1, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight, Qt::AlignRight);

        QSignalSpy headers(&model, &QAbstractItemModel::headerDataChanged);
        QList<int> sorted;
        ToggleTitleSort(query, 0, sorted);
        ToggleTitleSort(query, 0, sorted);
        QCOMPARE(model.headerData(0, Qt::Horizontal, DataSetModel::SortMarkerRole).toInt(), 1);
        QCOMPARE(model.headerData(1, Qt::Horizontal, DataSetModel::SortMarkerRole).toInt(), 0);
        QCOMPARE(headers.count(), 2);
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("60"));

        query.setFilter(QStringLiteral("[login] = 'ann'"));
        query.setFiltered(true);
        QCOMPARE(model.rowCount(), 2);

        Query worker;
        run(worker, QStringLiteral("select 52 as spid, 'x' as status, 'ann' as login"));
        query.adopt(worker);
        QCOMPARE(model.rowCount(), 1);
        query.close();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);
    }

    // A refresh with the same fields and as many rows tells the view only the cells that changed.
    void refreshOfTheSameShapeTellsOnlyChangedCells()
    {
        Query window;
        DataSetModel model(&window);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        Query worker;
        run(worker, processes_);
        window.adopt(worker);
        QList<int> sorted;
        ToggleTitleSort(window, 0, sorted);   // [spid]: 7, 51, 52, 60
        window.setRecNo(3);
        const Bookmark row52 = window.bookmark();

        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy cells(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy scrolled(&window, &Query::afterScroll);
        run(worker, processes_);
        window.adopt(worker, row52);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(cells.count(), 0);
        QCOMPARE(scrolled.count(), 1);
        QCOMPARE(window.recNo(), 3);

        // 51 falls asleep no more, 60 logs in as someone else, and 52 moves to the top.
        run(worker, QStringLiteral("select * from (values (51, 'runnable', 'sa'), (7, 'runnable', 'bob'),"
                                   " (60, 'sleeping', 'eve'), (1, 'runnable', 'ann')) as p(spid, status, login)"));
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
        run(worker, QStringLiteral("select 1 as spid, 'x' as status, 'y' as login"));
        window.adopt(worker);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(model.rowCount(), 1);
    }
};

int main(int argc, char** argv)
{
    return RunOnBothReadingPaths<TestDataSet>(argc, argv);
}
#include "tst_data_set.moc"
