#include "MonitorWindow.h"
#include "ProgramFixture.h"

#include "app/EvenAdvanceFont.h"
#include "shell/FormMain.h"
#include "monitor/FormMon.h"
#include "monitor/FormViewResult.h"

#include <QLabel>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QtTest>

// The command result window as the operator meets it: its design, its keys, and its place when
// opened from a monitor window inside the main window.
class TestFormViewResult : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;
    std::unique_ptr<TFormMain> main;
    TFormMon* monitor = nullptr;

    // The status bar's panels from left to right, which have no names: width, alignment, design text.
    static QStringList panelsOf(const TFormViewResult& form)
    {
        QStringList panels;
        for (const QLabel* panel : form.Panels) {
            const Qt::Alignment across = panel->alignment() & Qt::AlignHorizontal_Mask;
            const char* alignment = across == Qt::AlignHCenter ? "centred" : across == Qt::AlignLeft ? "left" : "other";
            panels << QStringLiteral("%1 %2 \"%3\"").arg(panel->width()).arg(QLatin1String(alignment), panel->text());
        }
        return panels;
    }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>();
        program->writeCatalogue({{QStringLiteral("A"), "select 1"}});
        main = std::make_unique<TFormMain>(program->folder.executable());
        main->setGeometry(QGuiApplication::primaryScreen()->availableGeometry().adjusted(20, 20, -20, -20));
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        TConnect* descriptor = MonitorDescriptor({.width = 500, .height = 300});
        monitor = new TFormMon(descriptor, main->mdiArea());
        main->mdiArea()->addSubWindow(monitor);
        monitor->show();
        monitor->move(0, 0);
    }

    void cleanup()
    {
        // The monitor window writes its profile through the application object, which goes with
        // the main window.
        delete monitor;
        main.reset();
        program->verifyModals();
        program.reset();
    }

    void design()
    {
        TFormViewResult form(monitor);
        QCOMPARE(form.windowTitle(), QStringLiteral("Результат команды ..."));
        QCOMPARE(form.size(), QSize(660, 408));
        QVERIFY(form.isModal());
        QCOMPARE(form.rchEdit->lineWrapMode(), QPlainTextEdit::NoWrap);
        QVERIFY(!form.rchEdit->isReadOnly());
        QCOMPARE(form.rchEdit->font().pixelSize(), 12);
        QVERIFY(HasEvenAdvances(form.rchEdit->font()));
        // Columns line up: narrow, wide and Cyrillic letters take the same room.
        const QFontMetrics metrics(form.rchEdit->font());
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("iiii")), metrics.horizontalAdvance(QStringLiteral("WWWW")));
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("ЖЖЖЖ")), metrics.horizontalAdvance(QStringLiteral("----")));
        QCOMPARE(panelsOf(form), (QStringList{"50 left \"\"", "100 centred \"записей\"", "50 left \"\""}));
    }

    void centredOnMainWindowAndSized()
    {
        TFormViewResult form(monitor);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(660, 408));
        const QPoint offset = form.frameGeometry().center() - main->frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
        // The text box fills the window above the status bar, which shows its three panels.
        QCOMPARE(form.rchEdit->geometry().top(), 0);
        QCOMPARE(form.rchEdit->width(), form.width());
        QCOMPARE(form.rchEdit->geometry().bottom() + 1, form.StatusBar1->geometry().top());
        QCOMPARE(form.StatusBar1->geometry().bottom() + 1, form.height());
        for (const QLabel* panel : form.Panels)
            QVERIFY(panel->isVisible());
    }

    void keptOnScreenWhenMainWindowIsNot()
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        main->setGeometry(screen.right() - 300, screen.bottom() - 200, 900, 700);
        TFormViewResult form(monitor);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(screen.contains(form.frameGeometry()));
    }

    void escapeClosesWithAnyModifier_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("none") << int(Qt::NoModifier);
        QTest::newRow("Shift") << int(Qt::ShiftModifier);
        QTest::newRow("Ctrl") << int(Qt::ControlModifier);
        QTest::newRow("Alt") << int(Qt::AltModifier);
        QTest::newRow("Ctrl+Shift+Alt") << int(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    }
    void escapeClosesWithAnyModifier()
    {
        QFETCH(int, modifiers);
        TFormViewResult form(monitor);
        bool stillOpen = true;
        program->modals.next<TFormViewResult>([&](TFormViewResult* shown) {
            // As the operator meets it: the window active, the text box holding the focus.
            // The offscreen platform may hand the activation back to the main window.
            shown->activateWindow();
            if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == shown && QApplication::focusWidget() == shown->rchEdit; })) {
                shown->done(QDialog::Rejected);
                return;
            }
            QTest::keyClicks(shown->rchEdit, QStringLiteral("ab"));
            QTest::keyClick(shown->rchEdit, Qt::Key_Escape, Qt::KeyboardModifiers(modifiers));
            stillOpen = shown->isVisible();
            if (stillOpen)
                shown->done(QDialog::Rejected);
        });
        form.exec();
        QVERIFY(!stillOpen);
        // Other keys went on to the text box; the monitor window behind stayed open.
        QCOMPARE(form.rchEdit->toPlainText(), QStringLiteral("ab"));
        QVERIFY(monitor->isVisible());
    }

    void longLinesScrollSideways()
    {
        TFormViewResult form(monitor);
        form.rchEdit->setPlainText(QString(400, QLatin1Char('x')) + QStringLiteral("end\nshort"));
        form.rchEdit->moveCursor(QTextCursor::Start);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QScrollBar* sideways = form.rchEdit->horizontalScrollBar();
        QVERIFY(sideways->isVisible());
        QVERIFY(sideways->maximum() > 0);
        QCOMPARE(sideways->value(), 0);
        QCOMPARE(form.rchEdit->document()->blockCount(), 2);
        sideways->setValue(sideways->maximum());
        // Scrolled to the end, the first line's end is in view.
        QTextCursor lineEnd(form.rchEdit->document());
        lineEnd.movePosition(QTextCursor::EndOfBlock);
        const QRect end = form.rchEdit->cursorRect(lineEnd);
        QVERIFY(form.rchEdit->viewport()->rect().contains(end.center()));
    }
};

QTEST_MAIN(TestFormViewResult)
#include "tst_form_view_result.moc"
