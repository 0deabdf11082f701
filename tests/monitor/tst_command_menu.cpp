#include "BoundedCall.h"
#include "DatabaseTest.h"
#include "MonitorWindow.h"
#include "ProgramFixture.h"
#include "ResultWindows.h"
#include "TestDatabase.h"
#include "Widgets.h"

#include "app/ActionLog.h"
#include "app/ServiceClasses.h"
#include "connection/Connect.h"
#include "connection/QueryThread.h"
#include "data/connection/Connection.h"
#include "data/Query.h"
#include "monitor/CommandWaitBox.h"
#include "monitor/FormMon.h"
#include "monitor/FormViewResult.h"
#include "monitor/MonitorStatusBar.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

// A psql session of its own that waits on the server under an application name, for as long as
// the object lives. Its backend is ended with it: a sleeping backend would not notice the client gone.
class SleepingSession {
public:
    explicit SleepingSession(QString application) : application_(std::move(application))
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PGAPPNAME"), application_);
        process_.setProcessEnvironment(environment);
        process_.start(TestDatabase::value(QStringLiteral("PG_BIN")) + QStringLiteral("/psql"),
                       {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"),
                        TestDatabase::value(QStringLiteral("PG_SOCKET_DIR")), QStringLiteral("-p"),
                        TestDatabase::value(QStringLiteral("PG_PORT")), QStringLiteral("-U"),
                        TestDatabase::value(QStringLiteral("PG_SUPERUSER")), QStringLiteral("-d"),
                        TestDatabase::value(QStringLiteral("PG_DATABASE")), QStringLiteral("-c"),
                        QStringLiteral("select pg_sleep(59)")});
        process_.waitForStarted();
        if (!QTest::qWaitFor([this] { return Count(application_) == 1; }, 10000))
            qWarning("the session named %s did not appear", qPrintable(application_));
    }
    ~SleepingSession()
    {
        process_.kill();
        process_.waitForFinished(5000);
        TestDatabase::psql(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity "
                                          "where application_name = ") + Literal(application_));
    }

    // The sessions on the server that carry the application name.
    static int Count(const QString& application)
    {
        QString count;
        TestDatabase::psql(QStringLiteral("select count(*) from pg_stat_activity where application_name = ") + Literal(application),
                           &count);
        return count.toInt();
    }

private:
    static QString Literal(QString text) { return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\''); }

    QString application_;
    QProcess process_;
};

// The command menu of a monitor window against the real test server: the popup's layout, and
// commands run for the current row with their results, messages and refusals.
class TestCommandMenu : public DatabaseTest {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;
    ProgramFolder* folder = nullptr;
    MessageRecorder* boxes = nullptr;
    // What a result window showed: caption, text, status panels and caret, as it was opened.
    struct ShownResult {
        QString caption;
        QString text;
        QString count;
        int caret = -1;
    };
    QList<ShownResult> results;

    // Catalogue entries: name = identifier = script file name.
    void writeCatalogue(const QList<CatalogueEntry>& scripts) { program->writeCatalogue(scripts); }

    // The key lines of the menu file's sections, by script identifier.
    QMap<QString, QByteArray> menuSections;

    // One command of section id, numbered key, with its script in Scripts/<file>.
    void writeCommand(const QString& id, int key, const QString& name, const QString& file, const QByteArray& sql,
                      const QString& field, const QString& flag)
    {
        // The program's files are Windows-1251.
        menuSections[id] += ToCp1251(QStringLiteral("%1=%2;%3;Scripts\\%3;%4;%5\r\n").arg(key).arg(name, file, field, flag));
        QByteArray menus;
        for (auto section = menuSections.cbegin(); section != menuSections.cend(); ++section)
            menus += "[" + section.key().toUtf8() + "]\r\n" + section.value();
        folder->write(QStringLiteral("Config/Menus.ini"), menus);
        if (!file.isEmpty())
            folder->write(QStringLiteral("Scripts/") + file, sql);
    }

    static std::unique_ptr<TFormMon> window(int interval = 0, int queryIndex = 0,
                                            const QString& connectionString = TestDatabase::pgConnectionString())
    {
        return ShowMonitor({.connectionString = connectionString, .server = TestDatabase::pgDsn(), .interval = interval, .queryIndex = queryIndex});
    }

    // Started and holding the first result of its script.
    static std::unique_ptr<TFormMon> startedWindow(int queryIndex = 0, int interval = 0)
    {
        return StartMonitor({.connectionString = TestDatabase::pgConnectionString(),
                             .server = TestDatabase::pgDsn(),
                             .interval = interval,
                             .queryIndex = queryIndex});
    }

    static QStringList popupTexts(const TFormMon& w)
    {
        QStringList texts;
        for (const QAction* action : w.PopupMenu->actions())
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return texts;
    }

    static void click(TFormMon& w, int position)
    {
        QAction* item = w.PopupMenu->actions().value(position);
        QVERIFY(item);
        BoundedCall("A command", [item] { item->trigger(); });
    }

    static bool tableExists(const QString& name)
    {
        QString found;
        TestDatabase::psql(QStringLiteral("select count(*) from pg_class where relname = '%1'").arg(name), &found);
        return found == QStringLiteral("1");
    }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>(QMessageBox::Cancel, "[Main]\r\nSLEEP_INTERVAL=20\r\n");
        program->startApp();
        folder = &program->folder;
        boxes = &program->boxes;
        results.clear();
        menuSections.clear();
        RecordResultWindows(&program->scope, [this](TFormViewResult* form) {
            results.append({form->windowTitle(), form->rchEdit->toPlainText(), form->Panels[1]->text(),
                            form->rchEdit->textCursor().position()});
        });
        writeCatalogue({{QStringLiteral("1values"), "select * from (values (52, 'runnable'), (7, 'sleeping')) v(spid, status)"},
                        {QStringLiteral("2plain"), "select 1 as id"},
                        {QStringLiteral("3three"), "select 3 as id"},
                        {QStringLiteral("4empty"), "select 1 as spid where false"},
                        {QStringLiteral("5slow"), "select pg_sleep(1.5) is null as slept, 7 as spid"}});
    }

    void cleanup() { program.reset(); }

    void popupFollowsStartAndScriptChanges()
    {
        writeCommand(QStringLiteral("1values"), 0, QStringLiteral("b"), QStringLiteral("b.sql"), "select 1", {}, QStringLiteral("0"));
        writeCommand(QStringLiteral("1values"), 1, QStringLiteral("A"), QStringLiteral("a.sql"), "select 1", {}, QStringLiteral("0"));
        for (int k = 0; k < 3; ++k)
            writeCommand(QStringLiteral("3three"), k, QStringLiteral("Команда %1").arg(k), QStringLiteral("c.sql"),
                         "select 1", {}, QStringLiteral("0"));
        const QStringList standard{"Старт", "Фильтр", "-", "Выход", "-", "Копировать"};
        auto w = window(1);
        QCOMPARE(popupTexts(*w), standard);
        w->acStart->trigger();
        QCOMPARE(popupTexts(*w), QStringList({"A", "b", "-"}) + standard);
        QCOMPARE(w->ScriptMenuItems.size(), std::size_t(2));
        QCOMPARE(w->PopupMenu->actions()[3], w->acStart);

        w->cmBox->setCurrentIndex(1);
        QCOMPARE(popupTexts(*w), standard);
        QVERIFY(w->ScriptMenuItems.empty());
        w->cmBox->setCurrentIndex(2);
        QCOMPARE(popupTexts(*w), QStringList({"Команда 0", "Команда 1", "Команда 2", "-"}) + standard);

        // Stopped, a change keeps the menu; the next Start finds command items and keeps them too.
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
        w->cmBox->setCurrentIndex(0);
        QCOMPARE(popupTexts(*w), QStringList({"Команда 0", "Команда 1", "Команда 2", "-"}) + standard);
        w->acStart->trigger();
        QVERIFY(w->Working);
        QCOMPARE(w->ScriptMenuItems.size(), std::size_t(3));
        // The next change while a worker is set rebuilds it.
        w->cmBox->setCurrentIndex(1);
        w->cmBox->setCurrentIndex(0);
        QCOMPARE(popupTexts(*w), QStringList({"A", "b", "-"}) + standard);
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
        QVERIFY(boxes->messages.isEmpty());
    }

    void menuHoldsAt128Commands()
    {
        QByteArray menus = "[1values]\r\n";
        for (int k = 0; k < 130; ++k)
            menus += QStringLiteral("%1=C%2;c;c.sql;;0\r\n").arg(k).arg(k, 3, 10, QLatin1Char('0')).toUtf8();
        folder->write(QStringLiteral("Config/Menus.ini"), menus);
        auto w = window();
        w->acStart->trigger();
        QCOMPARE(w->ScriptMenuItems.size(), std::size_t(128));
        QCOMPARE(w->PopupMenu->actions().size(), 128 + 1 + 6);
        QCOMPARE(w->PopupMenu->actions()[127]->text(), QStringLiteral("C127"));
        QVERIFY(w->PopupMenu->actions()[128]->isSeparator());
    }

    void commandThatDoesNotReadIsAnErrorItem()
    {
        writeCommand(QStringLiteral("1values"), 0, QStringLiteral("A"), QStringLiteral("a.sql"), "select 1", {}, QStringLiteral("yes"));
        writeCommand(QStringLiteral("1values"), 1, QStringLiteral("B"), QStringLiteral("b.sql"), "select 1", {}, QStringLiteral("0"));
        writeCommand(QStringLiteral("2plain"), 0, QStringLiteral("C"), QStringLiteral("c.sql"), "select 1", {}, QStringLiteral("x"));
        const QStringList standard{"Старт", "Фильтр", "-", "Выход", "-", "Копировать"};
        auto w = startedWindow(0, 1);
        QVERIFY(w->Working);
        QCOMPARE(popupTexts(*w), QStringList({"B", "Error 0", "-"}) + standard);
        w->cmBox->setCurrentIndex(1);
        QCOMPARE(popupTexts(*w), QStringList({"Error 0", "-"}) + standard);
        QTRY_COMPARE_WITH_TIMEOUT(w->Query->fieldCount(), 1, 15000);
        QVERIFY(boxes->messages.isEmpty());
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    void commandEndsSessionOfItsOwn()
    {
        const QString victim = QStringLiteral("quillon-menu-victim");
        Connection other;
        other.setConnectionString(TestDatabase::pgConnectionString(victim));
        other.open();
        QCOMPARE(SleepingSession::Count(victim), 1);
        writeCatalogue({{QStringLiteral("victims"), QStringLiteral("select pid from pg_stat_activity where application_name = '%1'")
                                                        .arg(victim).toUtf8()}});
        writeCommand(QStringLiteral("victims"), 0, QStringLiteral("Завершить сеанс"), QStringLiteral("end.sql"),
                     "select pg_terminate_backend(%pid%)", QStringLiteral("pid"), QStringLiteral("0"));
        auto w = startedWindow();
        QCOMPARE(w->Query->recordCount(), 1);
        click(*w, 0);
        QVERIFY(boxes->messages.isEmpty());
        QVERIFY(results.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(SleepingSession::Count(victim), 0, 10000);
    }

    // A terminate marked dangerous runs only on the session the row showed, by its key pid and
    // backend_start, as the server lists it once the operator has confirmed; never on the worker's
    // own session. A log that cannot be written is told once, and the commands run all the same.
    void dangerousCommandChecksTheRowOnTheServer()
    {
        QVERIFY(TestDatabase::psql(QStringLiteral("drop table if exists quillon_sessions; "
                                                  "create table quillon_sessions(pid int, backend_start text); "
                                                  "insert into quillon_sessions values (4242, '10:00'); grant all on quillon_sessions to public")));
        const auto listed = [] {
            QString rows;
            TestDatabase::psql(QStringLiteral("select count(*) from quillon_sessions"), &rows);
            return rows.toInt();
        };
        writeCatalogue({{QStringLiteral("sessions"), "select pid, backend_start from quillon_sessions"},
                        {QStringLiteral("worker"), "select pid, backend_start::text from pg_stat_activity where pid = pg_backend_pid()"}});
        folder->write(QStringLiteral("Config/Options.ini"),
                      "[sessions]\r\nKeyColumns=pid,backend_start\r\nDangerousCommands=END.SQL\r\n"
                      "[worker]\r\nKeyColumns=pid,backend_start\r\nDangerousCommands=end.sql\r\n");
        for (const QString& id : {QStringLiteral("sessions"), QStringLiteral("worker")})
            writeCommand(id, 0, QStringLiteral("Завершить сеанс"), QStringLiteral("end.sql"),
                         "delete from quillon_sessions where pid = %pid%", QStringLiteral("pid"), QStringLiteral("0"));
        QVERIFY(QDir().mkpath(ActionLogPath()));

        QString meanwhile;
        MessageRecorder operatorBoxes([&](const ShownMessage& box) {
            if (box.type != MessageType::Confirmation)
                return QMessageBox::Ok;
            TestDatabase::psql(meanwhile);
            return QMessageBox::Yes;
        });
        auto w = startedWindow();
        const QString row = QStringLiteral("pid = 4242, backend_start = 10:00");
        meanwhile = QStringLiteral("update quillon_sessions set backend_start = '11:00'");
        click(*w, 0);
        meanwhile = QStringLiteral("delete from quillon_sessions");
        click(*w, 0);
        meanwhile = QStringLiteral("insert into quillon_sessions values (4242, '10:00')");
        click(*w, 0);
        QStringList texts;
        for (const ShownMessage& box : operatorBoxes.messages)
            texts << box.text;
        QVERIFY2(listed() == 0, qPrintable(texts.join(u'\n')));
        QCOMPARE(texts.size(), 6);
        QVERIFY2(texts[0].contains(QStringLiteral("delete from quillon_sessions where pid = 4242\n\nСтрока: ") + row), qPrintable(texts[0]));
        QCOMPARE(texts[1], QStringLiteral("Журнал действий не записывается: Cannot write to ") + DisplayPath(ActionLogPath()));
        QCOMPARE(texts[2], QStringLiteral("Команда «Завершить сеанс» не выполнена: pid = 4242 теперь у другого сеанса "
                                          "(pid = 4242, backend_start = 11:00), а не у сеанса ") + row + QLatin1Char('.'));
        QCOMPARE(texts[4], QStringLiteral("Команда «Завершить сеанс» не выполнена: сеанса ") + row + QStringLiteral(" на сервере больше нет."));
        QCOMPARE(operatorBoxes.messages[3].type, MessageType::Confirmation);
        QCOMPARE(operatorBoxes.messages[5].type, MessageType::Confirmation);

        operatorBoxes.messages.clear();
        auto own = startedWindow(1, 1);
        QTRY_VERIFY_WITH_TIMEOUT(own->QueryThread->SessionId() > 0, 10000);
        QCOMPARE(own->Query->fieldTextByName(QStringLiteral("pid")), QString::number(own->QueryThread->SessionId()));
        click(*own, 0);
        QCOMPARE(operatorBoxes.messages.size(), 1);
        QCOMPARE(operatorBoxes.messages[0].text,
                 QStringLiteral("Команда «Завершить сеанс» не выполнена: pid = %1 — сеанс самого монитора.").arg(own->QueryThread->SessionId()));
        BoundedCall("Stop", [&own] { own->acStart->trigger(); });
    }

    // A key without the command's field: the session found again must still have the number the
    // command names. The options the script started with count when the file is gone meanwhile.
    void dangerousCommandChecksTheNumberItNames()
    {
        QVERIFY(TestDatabase::psql(QStringLiteral("drop table if exists quillon_sessions; "
                                                  "create table quillon_sessions(pid int, backend_start text); "
                                                  "insert into quillon_sessions values (4242, '10:00'); grant all on quillon_sessions to public")));
        writeCatalogue({{QStringLiteral("sessions"), "select pid, backend_start from quillon_sessions"}});
        folder->write(QStringLiteral("Config/Options.ini"), "[sessions]\r\nKeyColumns=backend_start\r\nDangerousCommands=END.SQL\r\n");
        writeCommand(QStringLiteral("sessions"), 0, QStringLiteral("Завершить сеанс"), QStringLiteral("end.sql"),
                     "delete from quillon_sessions where pid = %pid%", QStringLiteral("pid"), QStringLiteral("0"));
        MessageRecorder operatorBoxes([](const ShownMessage& box) {
            if (box.type == MessageType::Confirmation)
                TestDatabase::psql(QStringLiteral("update quillon_sessions set pid = 4243"));
            return box.type == MessageType::Confirmation ? QMessageBox::Yes : QMessageBox::Ok;
        });
        auto w = startedWindow();
        QVERIFY(QFile::remove(folder->file(QStringLiteral("Config/Options.ini"))));
        click(*w, 0);
        QCOMPARE(operatorBoxes.messages.size(), 2);
        QCOMPARE(operatorBoxes.messages[0].type, MessageType::Confirmation);
        QCOMPARE(operatorBoxes.messages[1].text,
                 QStringLiteral("Команда «Завершить сеанс» не выполнена: у сеанса backend_start = 10:00 теперь pid = 4243, а не 4242."));
        QString rows;
        TestDatabase::psql(QStringLiteral("select count(*) from quillon_sessions"), &rows);
        QCOMPARE(rows.toInt(), 1);
    }

    void resultWindowShowsAlignedTable()
    {
        writeCommand(QStringLiteral("2plain"), 0, QStringLiteral("Показать"), QStringLiteral("show.sql"),
                     "select *\r\nfrom (values (52, 'runnable'), (7, 'sleeping')) v(spid, status)\r\nwhere %ID% > 0",
                     QStringLiteral("id"), QStringLiteral("1"));
        auto w = startedWindow(1);
        click(*w, 0);
        QVERIFY2(boxes->messages.isEmpty(), boxes->messages.isEmpty() ? "" : qPrintable(boxes->messages[0].text));
        QCOMPARE(results.size(), 1);
        QCOMPARE(results[0].caption, QStringLiteral("Результат команды ..."));
        QCOMPARE(results[0].text, QStringLiteral("spid  status    \n----- --------- \n52    runnable  \n7     sleeping  "));
        QCOMPARE(results[0].count, QStringLiteral("2 записей"));
        QCOMPARE(results[0].caret, 0);
        // Esc closed the result window only.
        QVERIFY(w->isVisible());
    }

    void showResultFlag_data()
    {
        QTest::addColumn<QByteArray>("sql");
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("shown");   // the result window's text and count, or empty
        QTest::addColumn<QString>("warning");
        const QString noData = QStringLiteral("Запрос не возвращает данных, проверте настройки скрипта данного пункта меню.");
        QTest::newRow("set, rows") << QByteArray("select 'x' as a") << "1" << "a  \n-- \nx  |1 записей" << QString();
        QTest::newRow("set, empty result") << QByteArray("select 'x' as a where false") << "1" << "|0 записей" << QString();
        QTest::newRow("set, no result set") << QByteArray("set work_mem = '8MB'") << "1" << QString() << noData;
        QTest::newRow("clear, rows") << QByteArray("select 'x' as a") << "0" << QString() << QString();
        QTest::newRow("clear, no result set") << QByteArray("set work_mem = '8MB'") << "0" << QString() << QString();
        QTest::newRow("low 8 bits clear") << QByteArray("select 'x' as a") << "256" << QString() << QString();
        QTest::newRow("low 8 bits set") << QByteArray("select 'x' as a") << "257" << "a  \n-- \nx  |1 записей" << QString();
    }
    void showResultFlag()
    {
        QFETCH(QByteArray, sql);
        QFETCH(QString, flag);
        QFETCH(QString, shown);
        QFETCH(QString, warning);
        writeCommand(QStringLiteral("2plain"), 0, QStringLiteral("C"), QStringLiteral("c.sql"), sql, {}, flag);
        auto w = startedWindow(1);
        click(*w, 0);
        QCOMPARE(results.size(), shown.isEmpty() ? 0 : 1);
        if (!shown.isEmpty())
            QCOMPARE(results[0].text + QLatin1Char('|') + results[0].count, shown);
        QCOMPARE(boxes->messages.size(), warning.isEmpty() ? 0 : 1);
        if (!warning.isEmpty()) {
            QCOMPARE(boxes->messages[0].type, MessageType::Warning);
            QCOMPARE(boxes->messages[0].text, warning);
            QCOMPARE(boxes->messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        }
    }

    void failures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("sql");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("message");   // a pattern
        QTest::newRow("server error") << "c.sql" << QByteArray("select * from no_such_table") << QString() << "report"
                                      << "no_such_table";
        QTest::newRow("empty script") << "c.sql" << QByteArray() << QStringLiteral("id") << "error"
                                      << "^Ошибка загрузки SQL-скрипта$";
        QTest::newRow("missing script") << "" << QByteArray() << QString() << "report"
                                        << "^Cannot open file .*Scripts.$";
        QTest::newRow("field not in result") << "c.sql" << QByteArray("select %nosuch%") << QStringLiteral("nosuch")
                                             << "report" << "^Query: Field 'nosuch' not found$";
    }
    void failures()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, sql);
        QFETCH(QString, field);
        QFETCH(QString, type);
        QFETCH(QString, message);
        writeCommand(QStringLiteral("2plain"), 0, QStringLiteral("C"), file, sql, field, QStringLiteral("1"));
        auto w = startedWindow(1);
        click(*w, 0);
        QVERIFY(results.isEmpty());
        QCOMPARE(boxes->messages.size(), 1);
        const ShownMessage& shown = boxes->messages[0];
        QCOMPARE(shown.type, MessageType::Error);
        // The general error report has an OK button; the program's own error box a Cancel button.
        QCOMPARE(shown.buttons, QMessageBox::StandardButtons(type == QStringLiteral("report") ? QMessageBox::Ok : QMessageBox::Cancel));
        QVERIFY2(QRegularExpression(message).match(shown.text).hasMatch(), qPrintable(shown.text));
        // The window's connection is still usable for the next command.
        QVERIFY(w->ADOC->connected());
    }

    void valueOfEmptyResultOrNullIsEmptyText()
    {
        writeCatalogue({{QStringLiteral("empty"), "select 1 as spid where false"},
                        {QStringLiteral("nulls"), "select cast(null as int) as spid"}});
        for (const QString& id : {QStringLiteral("empty"), QStringLiteral("nulls")})
            writeCommand(id, 0, QStringLiteral("C"), QStringLiteral("c.sql"), "select '<%spid%>' as v", QStringLiteral("spid"),
                         QStringLiteral("1"));
        for (int entry : {0, 1}) {
            auto w = startedWindow(entry);
            click(*w, 0);
        }
        QCOMPARE(results.size(), 2);
        QCOMPARE(results[0].text, QStringLiteral("v   \n--- \n<>  "));
        QCOMPARE(results[1].text, QStringLiteral("v   \n--- \n<>  "));
        QVERIFY(boxes->messages.isEmpty());
    }

    void commandBeforeFirstResult()
    {
        writeCommand(QStringLiteral("5slow"), 0, QStringLiteral("C"), QStringLiteral("c.sql"), "select %spid%", QStringLiteral("spid"),
                     QStringLiteral("0"));
        auto w = window(30, 4);
        w->acStart->trigger();
        QVERIFY(!w->Query->active());
        click(*w, 0);
        QCOMPARE(boxes->messages.size(), 1);
        QCOMPARE(boxes->messages[0].text, QStringLiteral("Query: Field 'spid' not found"));
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    void lostConnectionWarnsWithMilliseconds()
    {
        writeCommand(QStringLiteral("2plain"), 0, QStringLiteral("C"), QStringLiteral("c.sql"), "select 1", {}, QStringLiteral("0"));
        auto w = startedWindow(1);
        w->ADOC->close();
        w->ADOC->setConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;User ID=%2;Password=wrong")
                                         .arg(TestDatabase::pgDsn(), TestDatabase::user()));
        click(*w, 0);
        QCOMPARE(boxes->messages.size(), 1);
        QCOMPARE(boxes->messages[0].type, MessageType::Warning);
        QCOMPARE(boxes->messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \nСервер '%1' "
                                                   "завершил текущее соединение\\.$")
                                        .arg(QRegularExpression::escape(TestDatabase::pgDsn())))
                     .match(boxes->messages[0].text)
                     .hasMatch(),
                 qPrintable(boxes->messages[0].text));
        QVERIFY(!w->ADOC->connected());
    }

    void rowValuesCannotRunStatements()
    {
        const QString payload = QStringLiteral("x'; drop table menu_victim; --");
        QString error;
        QVERIFY2(TestDatabase::psql(QStringLiteral("drop table if exists menu_victim; create table menu_victim(i int); "
                                                   "grant all on menu_victim to public"),
                                    nullptr, &error),
                 qPrintable(error));
        const SleepingSession session(payload);
        QCOMPARE(SleepingSession::Count(payload), 1);
        writeCatalogue({{QStringLiteral("apps"), "select pid, application_name as app from pg_stat_activity "
                                                 "where application_name like 'x''%'"}});
        writeCommand(QStringLiteral("apps"), 0, QStringLiteral("1 quoted"), QStringLiteral("q.sql"),
                     "select count(*) as n from pg_stat_activity where application_name = '%app%'", QStringLiteral("app"),
                     QStringLiteral("1"));
        writeCommand(QStringLiteral("apps"), 1, QStringLiteral("2 bare"), QStringLiteral("b.sql"),
                     "select pg_cancel_backend(%app%)", QStringLiteral("app"), QStringLiteral("0"));
        auto w = startedWindow();
        QCOMPARE(w->Query->recordCount(), 1);
        QCOMPARE(w->Query->fieldTextByName(QStringLiteral("app")), payload);

        // In a literal the value is text: it finds its own session and drops nothing.
        click(*w, 0);
        QVERIFY(tableExists(QStringLiteral("menu_victim")));
        QCOMPARE(results.size(), 1);
        QCOMPARE(results[0].text, QStringLiteral("n  \n-- \n1  "));

        // Bare, it is refused before anything runs.
        click(*w, 1);
        QCOMPARE(boxes->messages.size(), 1);
        QCOMPARE(boxes->messages[0].type, MessageType::Error);
        QCOMPARE(boxes->messages[0].text, QStringLiteral("Значение поля app не может быть подставлено в команду."));
        QCOMPARE(boxes->messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        QVERIFY(tableExists(QStringLiteral("menu_victim")));
        QCOMPARE(SleepingSession::Count(payload), 1);
        TestDatabase::psql(QStringLiteral("drop table if exists menu_victim"));
    }

    // Row values made to leave the place of their mark, against a canary function that records each
    // call: on PostgreSQL, through either reading path, a value is text where the server reads
    // text, is refused where the server reads code, and runs nothing.
    void rowValuesRunNothingOnPostgreSql_data()
    {
        QTest::addColumn<bool>("odbc");
        QTest::addColumn<bool>("standardStrings");
        QTest::addColumn<QByteArray>("sql");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");   // in the result window; empty when refused
        const QString breakOut = QStringLiteral("\\'); select canary(); --");
        for (const bool odbc : {false, true}) {
            const char* path = odbc ? "ODBC" : "libpq";
            QTest::addRow("%s: array subscript", path)
                << odbc << true << QByteArray("select ((array['a','b','c'])[%v%]) as x") << "canary()" << QString();
            QTest::addRow("%s: array subscript, a number", path)
                << odbc << true << QByteArray("select ((array['a','b','c'])[%v%]) as x") << "2" << "b";
            QTest::addRow("%s: string not standard", path)
                << odbc << false << QByteArray("select ('%v%') as x") << breakOut << breakOut;
            QTest::addRow("%s: escape string", path)
                << odbc << true << QByteArray("select (E'%v%') as x") << breakOut << breakOut;
            QTest::addRow("%s: escape string carried on", path)
                << odbc << true << QByteArray("select (E''\r\n'%v%') as x") << breakOut << breakOut;
            QTest::addRow("%s: quoted name", path)
                << odbc << true << QByteArray("select 1 as \"%v%\"") << "x\"; select canary(); --" << "x\"; select canary(); --";
            QTest::addRow("%s: Unicode string", path)
                << odbc << true << QByteArray("select U&'%v%' as x") << "\\0041" << QString();
            QTest::addRow("%s: dollar tag completed", path)
                << odbc << true << QByteArray("select length($a$ x $a%v% || canary()::text || $a$ y $a$) as x") << "$"
                << QString();
        }
    }
    void rowValuesRunNothingOnPostgreSql()
    {
        QFETCH(bool, odbc);
        QFETCH(bool, standardStrings);
        QFETCH(QByteArray, sql);
        QFETCH(QString, value);
        QFETCH(QString, shown);
        const QString canary = QStringLiteral("canary");
        QString error;
        QVERIFY2(TestDatabase::createCanary(canary, &error), qPrintable(error));
        QVERIFY2(TestDatabase::psql(QStringLiteral("set role quillon; select canary()"), nullptr, &error), qPrintable(error));
        QCOMPARE(TestDatabase::canaryCalls(canary), 1);
        // A login of its own reads strings the old way: the other tests' sessions stay standard.
        const QString login = standardStrings ? TestDatabase::user() : QStringLiteral("quillon_nonstandard");
        QVERIFY2(TestDatabase::psql(QStringLiteral(
                     "drop table if exists menu_values; create table menu_values(v text); grant select on menu_values to public;"
                     "truncate canary_calls;"
                     "do $do$ begin create role quillon_nonstandard login password '%1'; exception when duplicate_object"
                     " then null; end $do$;"
                     "alter role quillon_nonstandard set standard_conforming_strings = off;")
                         .arg(TestDatabase::password())
                     + QStringLiteral("insert into menu_values values ($v$%1$v$)").arg(value),
                 nullptr, &error),
                 qPrintable(error));
        writeCatalogue({{QStringLiteral("values"), "select v, current_setting('standard_conforming_strings') as s from menu_values"}});
        writeCommand(QStringLiteral("values"), 0, QStringLiteral("C"), QStringLiteral("c.sql"), sql, QStringLiteral("v"),
                     QStringLiteral("1"));

        auto w = window(0, 0, TestDatabase::pgConnectionString(QStringLiteral("Quillon"), login));
        w->ADOC->setOdbcOnly(odbc);
        w->acStart->trigger();
        QVERIFY(QTest::qWaitFor([&w] { return w->Query->active(); }, 10000));
        QCOMPARE(w->Query->fieldTextByName(QStringLiteral("v")), value);
        QCOMPARE(w->Query->fieldTextByName(QStringLiteral("s")), standardStrings ? QStringLiteral("on") : QStringLiteral("off"));
        click(*w, 0);
        QCOMPARE(TestDatabase::canaryCalls(canary), 0);
        QCOMPARE(w->ADOC->readsNatively(), !odbc);
        if (shown.isEmpty()) {
            QVERIFY(results.isEmpty());
            QCOMPARE(boxes->messages.size(), 1);
            QCOMPARE(boxes->messages[0].text, QStringLiteral("Значение поля v не может быть подставлено в команду."));
        } else {
            QVERIFY2(boxes->messages.isEmpty(), boxes->messages.isEmpty() ? "" : qPrintable(boxes->messages[0].text));
            QCOMPARE(results.size(), 1);
            QVERIFY2(results[0].text.contains(shown), qPrintable(results[0].text));
        }
    }

    void longCommandCanBeCancelledWhileRefreshesGoOn()
    {
        writeCommand(QStringLiteral("2plain"), 0, QStringLiteral("Долгая"), QStringLiteral("long.sql"),
                     "select pg_sleep(60)", {}, QStringLiteral("1"));
        auto w = startedWindow(1, 1);
        ModalDriver& driver = program->modals;
        QString boxText;
        bool waitCursor = false;
        int refreshesDuringBox = 0;
        driver.next<CommandWaitBox>([&](CommandWaitBox* box) {
            boxText = Child<QLabel>(box, "WaitText")->text();
            waitCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            // The worker's hand-overs are served while the command runs.
            const int before = w->StatusBar->PanelText(StatusPanel::CounterLow).toInt();
            const bool counted = QTest::qWaitFor(
                [&] { return w->StatusBar->PanelText(StatusPanel::CounterLow).toInt() >= before + 2; }, 10000);
            refreshesDuringBox = counted ? w->StatusBar->PanelText(StatusPanel::CounterLow).toInt() - before : 0;
            QTest::mouseClick(box->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        });
        click(*w, 0);
        QVERIFY(driver.failures.isEmpty());
        QCOMPARE(boxText, QStringLiteral("Выполняется команда..."));
        QVERIFY(waitCursor);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY2(refreshesDuringBox >= 2, qPrintable(QString::number(refreshesDuringBox)));
        // Cancelled: no result window, no message, and the statement no longer runs.
        QVERIFY(results.isEmpty());
        QVERIFY(boxes->messages.isEmpty());
        QString running;
        TestDatabase::psql(QStringLiteral("select count(*) from pg_stat_activity where query = 'select pg_sleep(60)' "
                                          "and state = 'active'"),
                           &running);
        QCOMPARE(running, QStringLiteral("0"));
        QVERIFY(w->ADOC->connected());
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }
};

QTEST_MAIN(TestCommandMenu)
#include "tst_command_menu.moc"
