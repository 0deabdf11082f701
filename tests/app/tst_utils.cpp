#include "ProgramFixture.h"

#include "app/EvenAdvanceFont.h"
#include "app/Utils.h"

#include <QComboBox>
#include <QPainter>
#include <QTableWidget>
#include <QToolBar>
#include <QtTest>

// The shared user-interface and text helpers.
class TestUtils : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>();
        program->startApp();
    }

    void cleanup() { program.reset(); }

    void promoteComboText()
    {
        QComboBox combo;
        combo.setEditable(true);
        combo.addItems({QStringLiteral("srv1"), QStringLiteral("SRV2"), QStringLiteral("srv3")});
        combo.setEditText(QStringLiteral("srv2"));
        PromoteComboText(&combo);
        QCOMPARE(combo.count(), 3);
        QCOMPARE(combo.itemText(0), QStringLiteral("srv2"));
        QCOMPARE(combo.itemText(1), QStringLiteral("srv1"));
        QCOMPARE(combo.itemText(2), QStringLiteral("srv3"));
        QCOMPARE(combo.currentIndex(), 0);

        // A partial match is another server, and an empty text changes nothing.
        combo.setEditText(QStringLiteral("srv"));
        PromoteComboText(&combo);
        QCOMPARE(combo.count(), 4);
        combo.setEditText(QString());
        PromoteComboText(&combo);
        QCOMPARE(combo.count(), 4);
    }

    void replaceTextNoCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("expected");
        QTest::newRow("both cases") << "kill %SPID%; select %Spid%" << "52" << "%spid%" << "kill 52; select 52";
        QTest::newRow("cyrillic only in same case") << "%Код% %код%" << "1" << "%код%" << "%Код% 1";
        QTest::newRow("replacement holds the text") << "a %x% b %X%" << "[%x%]" << "%x%" << "a [%x%] b [%x%]";
        QTest::newRow("empty replacement") << "%id%%id%" << "" << "%id%" << "";
        QTest::newRow("no match") << "select 1" << "7" << "%spid%" << "select 1";
        QTest::newRow("bare percent") << "50% of %" << "1" << "%" << "501 of 1";
    }

    void replaceTextNoCase()
    {
        QFETCH(QString, text);
        QFETCH(QString, replacement);
        QFETCH(QString, find);
        ReplaceTextNoCase(text, replacement, find);
        QTEST(text, "expected");
    }

    void replaceChar()
    {
        QString text = QStringLiteral("SRV\\INST/a");
        ReplaceChar(text, QLatin1Char('\\'), QLatin1Char('-'));
        QCOMPARE(text, QStringLiteral("SRV-INST/a"));
        QString empty;
        ReplaceChar(empty, QLatin1Char('a'), QLatin1Char('b'));
        QVERIFY(empty.isEmpty());
    }

    void fillEntryGrid()
    {
        QTableWidget grid(5, 5);
        grid.setItem(0, 1, new QTableWidgetItem(QStringLiteral("Title")));
        grid.setItem(3, 2, new QTableWidgetItem(QStringLiteral("old")));
        std::vector<std::unique_ptr<TSensor>> entries;
        FillEntryGrid(&grid, entries);
        QCOMPARE(grid.rowCount(), 2);
        QCOMPARE(grid.item(1, 1)->text(), QString());
        QCOMPARE(grid.item(0, 1)->text(), QStringLiteral("Title"));

        for (const char* name : {"A", "B"}) {
            auto s = std::make_unique<TSensor>();
            s->Name = QString::fromLatin1(name);
            s->Id = s->Name + QStringLiteral("-id");
            s->ScriptFile = s->Name + QStringLiteral(".sql");
            entries.push_back(std::move(s));
        }
        FillEntryGrid(&grid, entries);
        QCOMPARE(grid.rowCount(), 3);
        QCOMPARE(grid.item(2, 1)->text(), QStringLiteral("B-id"));
        QCOMPARE(grid.item(2, 2)->text(), QStringLiteral("B"));
        QCOMPARE(grid.item(2, 3)->text(), QStringLiteral("B.sql"));
        QCOMPARE(grid.item(0, 1)->text(), QStringLiteral("Title"));
    }

    void toolBarFollowsCaptionSetting()
    {
        QToolBar bar;
        bar.addAction(ImageListIcon(ImageSlot::Start), QStringLiteral("Старт"));
        bar.addSeparator();
        bar.addAction(ImageListIcon(ImageSlot::Exit), QStringLiteral("Выход"));
        bar.show();
        App->ShowCaptions = true;
        ApplyToolBarCaptions(&bar);
        const int wide = bar.width();
        QCOMPARE(bar.toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
        App->ShowCaptions = false;
        ApplyToolBarCaptions(&bar);
        QCOMPARE(bar.toolButtonStyle(), Qt::ToolButtonIconOnly);
        QVERIFY(bar.width() < wide);
        for (QAction* action : bar.actions())
            QVERIFY(bar.rect().contains(bar.widgetForAction(action)->geometry()));
    }

    // A proportional font is refused; asked for one, the choice falls back to a font whose
    // characters take the same room at the asked size.
    void textColumnsLineUpInTheChosenFont()
    {
        QFont proportional(QStringLiteral("DejaVu Sans"));
        proportional.setPixelSize(13);
        QVERIFY(!HasEvenAdvances(proportional));
        const QFont chosen = EvenAdvanceFont(proportional);
        QVERIFY(HasEvenAdvances(chosen));
        QCOMPARE(chosen.pixelSize(), 13);
    }

    void messageBoxesInTheInterfaceLanguage()
    {
        QCOMPARE(MessageTitle(MessageType::Error), QStringLiteral("Ошибка"));
        QCOMPARE(MessageTitle(MessageType::Warning), QStringLiteral("Предупреждение"));
        QCOMPARE(MessageTitle(MessageType::Confirmation), QStringLiteral("Подтверждение"));
        QCOMPARE(MessageTitle(MessageType::Information), QStringLiteral("Информация"));
        ShowMessage(MessageType::Error, QStringLiteral("first\rERROR:\tsyntax error"), QMessageBox::Ok);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("first\nERROR: syntax error"));
    }

    void rowMarkersOnlyOnCurrentRow()
    {
        QTableWidget grid(3, 5);
        grid.resize(400, 200);
        grid.setCurrentCell(1, 2);
        QImage image(grid.viewport()->size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        for (int row = 0; row < 3; ++row)
            DrawRowMarkers(&painter, &grid, row, 0, 4, ImageSlot::MarkerRight, ImageSlot::MarkerLeft);
        painter.end();

        auto coloured = [&](int row, int column) {
            const QRect cell = grid.visualRect(grid.model()->index(row, column));
            for (int y = cell.top(); y < cell.top() + 16 && y < image.height(); ++y)
                for (int x = cell.left(); x < cell.left() + 16 && x < image.width(); ++x)
                    if (image.pixelColor(x, y) != QColor(Qt::white))
                        return true;
            return false;
        };
        QVERIFY(coloured(1, 0));
        QVERIFY(coloured(1, 4));
        QVERIFY(!coloured(0, 0));
        QVERIFY(!coloured(2, 4));
    }
};

QTEST_MAIN(TestUtils)
#include "tst_utils.moc"
