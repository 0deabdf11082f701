#include "RecordSets.h"

#include "data/history/RowRuleEngine.h"

#include <QTest>

// Row rules on refreshes built by hand: hold time by key, the first rule's look, cool-down, rules
// that cannot be applied, rows without keys.
class TestRowRules : public QObject {
    Q_OBJECT

    static RowRule rule(const QString& name, const QString& expression, int hold = 0, const QString& colour = {})
    {
        RowRule made;
        made.name = name;
        made.expression = expression;
        made.holdSeconds = hold;
        made.background = colour;
        made.notify = true;
        return made;
    }

    // The background of each row's look as "#rrggbb", "-" for none.
    static QStringList backgrounds(const RowLooks& looks, int rows)
    {
        QStringList shown;
        for (int row = 0; row < rows; ++row) {
            const RowLook* look = looks.of(row);
            shown << (look ? QStringLiteral("#%1").arg(look->background & 0xffffff, 6, 16, QLatin1Char('0')) : QStringLiteral("-"));
        }
        return shown;
    }

    static QStringList keys(const QList<RuleEvent>& events)
    {
        QStringList made;
        for (const RuleEvent& event : events)
            made << event.rule + QLatin1Char(':') + event.key;
        return made;
    }

private Q_SLOTS:
    void holdTimeFollowsTheRowByItsKey()
    {
        RowRuleEngine engine({rule("Спит", "[status] = 'sleeping'", 5, "#ffc8c8")}, {"spid"});
        // Refresh by refresh, the sleeping session moves within the result: its key keeps its time.
        const auto first = engine.apply(*ProcessesOf({{1, "sleeping", "ann"}, {2, "running", "bob"}}), 0);
        QCOMPARE(backgrounds(first.looks, 2), QStringList({"-", "-"}));
        QVERIFY(first.events.isEmpty());
        const auto early = engine.apply(*ProcessesOf({{2, "running", "bob"}, {1, "sleeping", "ann"}}), 4000);
        QVERIFY(early.looks.empty());
        const auto held = engine.apply(*ProcessesOf({{2, "sleeping", "bob"}, {1, "sleeping", "ann"}}), 5000);
        QCOMPARE(backgrounds(held.looks, 2), QStringList({"-", "#ffc8c8"}));
        QCOMPARE(keys(held.events), QStringList({"Спит:1"}));
        QCOMPARE(held.events.front().values, QStringLiteral("status = sleeping"));
        QCOMPARE(held.events.front().time, 5000);
        // Still applying: no new event. A break in the condition starts the hold over.
        QVERIFY(engine.apply(*ProcessesOf({{1, "sleeping", "ann"}}), 6000).events.isEmpty());
        QVERIFY(engine.apply(*ProcessesOf({{1, "running", "ann"}}), 7000).looks.empty());
        QVERIFY(engine.apply(*ProcessesOf({{1, "sleeping", "ann"}}), 8000).looks.empty());
    }

    void firstRuleThatAppliesGivesTheLook()
    {
        RowRuleEngine engine({rule("Долго", "[status] = 'sleeping'", 10, "#ff0000"),
                              rule("Аня", "[login] = 'ann'", 0, "#00ff00"), rule("Все", "[spid] > 0", 0, "#0000ff")},
                             {"spid"});
        const auto now = engine.apply(*ProcessesOf({{1, "sleeping", "ann"}, {2, "sleeping", "bob"}}), 0);
        QCOMPARE(backgrounds(now.looks, 2), QStringList({"#00ff00", "#0000ff"}));
        // Every rule notifies for itself, whichever gives the look.
        QCOMPARE(keys(now.events), QStringList({"Аня:1", "Все:1", "Все:2"}));
        const auto later = engine.apply(*ProcessesOf({{1, "sleeping", "ann"}, {2, "sleeping", "bob"}}), 10000);
        QCOMPARE(backgrounds(later.looks, 2), QStringList({"#ff0000", "#ff0000"}));
        QCOMPARE(later.looks.looks.size(), std::size_t(1));
    }

    void coolDownSilencesARowThatComesBack()
    {
        RowRule flapping = rule("Блок", "[status] = 'blocked'");
        flapping.coolDownSeconds = 60;
        RowRuleEngine engine({flapping}, {"spid"});
        const auto blocked = [](int spid) { return ProcessesOf({{spid, "blocked", "ann"}}); };
        const auto free = [](int spid) { return ProcessesOf({{spid, "running", "ann"}}); };
        QCOMPARE(engine.apply(*blocked(1), 0).events.size(), 1);
        engine.apply(*free(1), 1000);
        QVERIFY(engine.apply(*blocked(1), 2000).events.isEmpty());
        // Another row has a cool-down of its own.
        QCOMPARE(engine.apply(*blocked(2), 3000).events.size(), 1);
        engine.apply(*free(1), 59000);
        QCOMPARE(keys(engine.apply(*blocked(1), 60000).events), QStringList({"Блок:1"}));
    }

    void rulesThatCannotApplyAreToldOnceAndSkipped()
    {
        // A rule without a condition would hold for every row.
        RowRuleEngine engine({rule("Кривое", "[status] = "), rule("Пустое", " ", 0, "#ff0000"), rule("Нет столбца", "[BlkBy] <> ''"),
                              rule("Годное", "[spid] = 1", 0, "#010203")},
                             {"spid"});
        auto first = engine.apply(*ProcessesOf({{1, "sleeping", "ann"}}), 0);
        QCOMPARE(first.problems.size(), 3);
        QCOMPARE(first.problems.indexOf(QStringLiteral("Правило «Пустое» пропущено: условие не задано")), 1);
        first.problems.removeAt(1);
        QVERIFY(first.problems[0].startsWith(QStringLiteral("Правило «Кривое» пропущено: Invalid filter expression")));
        QCOMPARE(first.problems[1], QStringLiteral("Правило «Нет столбца» пропущено: Query: Field 'BlkBy' not found"));
        QCOMPARE(backgrounds(first.looks, 1), QStringList({"#010203"}));
        QVERIFY(engine.apply(*ProcessesOf({{1, "sleeping", "ann"}}), 1000).problems.isEmpty());
    }

    void rowsWithoutKeysAreKnownByTheirPlace()
    {
        RowRuleEngine engine({rule("Спит", "[status] = 'sleeping'", 2)}, {});
        engine.apply(*ProcessesOf({{1, "sleeping", "ann"}, {2, "running", "bob"}}), 0);
        // The second row now sleeps but has not held for its place; the first has.
        const auto held = engine.apply(*ProcessesOf({{2, "sleeping", "bob"}, {1, "sleeping", "ann"}}), 2000);
        QCOMPARE(keys(held.events), QStringList({"Спит:строка 1"}));
        QCOMPARE(held.events.front().values, QStringLiteral("status = sleeping"));
        // A key column the result lacks falls back to the place too.
        RowRuleEngine missing({rule("Спит", "[status] = 'sleeping'")}, {"session_id"});
        QCOMPARE(keys(missing.apply(*ProcessesOf({{7, "sleeping", "ann"}}), 0).events), QStringList({"Спит:строка 1"}));
    }
};

QTEST_GUILESS_MAIN(TestRowRules)
#include "tst_row_rules.moc"
