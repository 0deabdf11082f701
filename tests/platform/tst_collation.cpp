#include "platform/Collation.h"

#include <QTest>

namespace {
QString S(const char* text)
{
    return QString::fromUtf8(text);
}
} // namespace

class TestCollation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void comparesWithoutLetterCase()
    {
        QVERIFY(CompareTextLocale(S("b"), S("A")) > 0);
        QVERIFY(CompareTextLocale(S("a"), S("B")) < 0);
        QCOMPARE(CompareTextLocale(S("abc"), S("ABC")), 0);
        QVERIFY(CompareTextLocale(S("б"), S("А")) > 0);
        QVERIFY(CompareTextLocale(S("а"), S("Б")) < 0);
        QCOMPARE(CompareTextLocale(S("Сервер"), S("сЕРВЕР")), 0);
    }

    void sortsWithoutLetterCaseKeepingEqualTextsInOrder()
    {
        // Which script comes first depends on the locale; within one script the order does not.
        QStringList latin{S("b"), S("A"), S("c"), S("a")};
        SortTextLocale(latin);
        QCOMPARE(latin, (QStringList{S("A"), S("a"), S("b"), S("c")}));

        QStringList cyrillic{S("в"), S("Б"), S("а"), S("Г"), S("б")};
        SortTextLocale(cyrillic);
        QCOMPARE(cyrillic, (QStringList{S("а"), S("Б"), S("б"), S("в"), S("Г")}));

        QStringList empty;
        SortTextLocale(empty);
        QVERIFY(empty.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCollation)
#include "tst_collation.moc"
