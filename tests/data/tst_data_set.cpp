#include "DatabaseTest.h"
#include "ReadingPaths.h"
#include "RecordSets.h"
#include "TestDatabase.h"
#include "data/connection/Connection.h"
#include "data/Query.h"

#include <QTest>

// A data set over both reading paths; what its view does with the rows is tested without a
// server (tst_record_view).
class TestDataSet : public DatabaseTest {
    Q_OBJECT

    const bool odbcOnly_;
    Connection connection_;

    void run(Query& query, const QString& sql)
    {
        query.setConnection(&connection_);
        query.setSql({sql});
        query.open();
    }

    const QString processes_ = QStringLiteral(
        "select * from (values (51, 'sleeping', 'sa'), (7, 'runnable', 'bob'), (60, 'sleeping', 'ann'),"
        " (52, 'runnable', 'ann')) as p(spid, status, login)");

public:
    explicit TestDataSet(bool odbcOnly) : odbcOnly_(odbcOnly) {}

protected:
    void prepareDatabase() override
    {
        connection_.setConnectionString(TestDatabase::pgConnectionString());
        connection_.setOdbcOnly(odbcOnly_);
        connection_.open();
    }

private Q_SLOTS:
    // The rows the views are tested on (tests/RecordSets.h) are the rows each path reads, and a
    // filter set before the open applies to them.
    void readingGivesTheRowsTheViewsAreTestedOn()
    {
        Query query;
        run(query, processes_);
        const std::unique_ptr<RecordSet> expected = Processes();
        QCOMPARE(query.fieldCount(), expected->fieldCount());
        QVERIFY(IsNumberFieldType(query.fieldType(0)));
        for (int field = 0; field < expected->fieldCount(); ++field) {
            QCOMPARE(query.fieldName(field), expected->field(field).name);
            QVERIFY(IsTextFieldType(query.fieldType(field)) == IsTextFieldType(expected->field(field).type));
            for (int row = 0; row < expected->rowCount(); ++row)
                QCOMPARE(query.displayText(row, field), expected->displayText(row, field));
        }

        Query exporter;
        exporter.setFilter(QStringLiteral("[login] = 'ANN'"));
        exporter.setFiltered(true);
        run(exporter, processes_);
        QCOMPARE(exporter.recordCount(), 2);
    }
};

int main(int argc, char** argv)
{
    return RunOnBothReadingPaths<TestDataSet>(argc, argv);
}
#include "tst_data_set.moc"
