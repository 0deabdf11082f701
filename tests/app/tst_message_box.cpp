#include "ModalDriver.h"

#include "app/MessageBox.h"

#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

// The real box, as the operator meets it: its buttons in the program's own order, the answer the
// one clicked, Esc the box's way out.
class TestMessageBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buttonsKeepTheProgramsOrder()
    {
        QStringList order;
        ModalDriver driver;
        driver.next<QMessageBox>([&order](QMessageBox* box) {
            QList<QAbstractButton*> buttons = box->buttons();
            std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
                return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
            });
            for (QAbstractButton* button : buttons)
                order.append(button->text().remove(u'&'));
            buttons.back()->click();
        });
        const QMessageBox::StandardButton clicked =
            ShowMessage(MessageType::Confirmation, QStringLiteral("Использовать шаблон выгрузки?"),
                        QMessageBox::Ok | QMessageBox::No);
        QCOMPARE(order, (QStringList{QStringLiteral("No"), QStringLiteral("OK")}));
        QCOMPARE(clicked, QMessageBox::Ok);
        QVERIFY(driver.failures.isEmpty());
    }

    void escapeAndTheDefaultButton()
    {
        ModalDriver driver;
        bool okIsDefault = false;
        driver.next<QMessageBox>([&okIsDefault](QMessageBox* box) {
            for (QAbstractButton* button : box->buttons()) {
                if (button->text().remove(u'&') == QStringLiteral("OK"))
                    okIsDefault = static_cast<QPushButton*>(button)->isDefault();
            }
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(ShowMessage(MessageType::Confirmation, QStringLiteral("?"), QMessageBox::Ok | QMessageBox::No),
                 QMessageBox::No);
        QVERIFY(okIsDefault);
        QVERIFY(driver.failures.isEmpty());
    }

    // A driver's message or a long value has no blank to wrap at: the box stays inside the screen,
    // shows the text on several lines (a text too long for the box whole under its details), and
    // Ctrl+C copies the whole text.
    void longTextWrapsInsideTheScreenAndCopiesWhole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cut");
        QTest::newRow("one long word")
            << QStringLiteral("'Команда %1' is not a valid integer value").arg(QString(700, u'Щ')) << false;
        QTest::newRow("long words and blanks")
            << QStringLiteral("[FreeTDS][SQL Server] %1 /very/long/path/%2").arg(QString(300, u'x'), QString(400, u'p'))
            << false;
        QTest::newRow("longer than the screen holds") << QString(40000, u'Щ') << true;
    }

    void longTextWrapsInsideTheScreenAndCopiesWhole()
    {
        QFETCH(QString, text);
        QFETCH(bool, cut);
        QGuiApplication::clipboard()->clear();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        ModalDriver driver;
        QRect boxFrame;
        int labelHeight = 0;
        int lineHeight = 0;
        QString details;
        driver.next<QMessageBox>([&](QMessageBox* box) {
            QTRY_VERIFY(box->isVisible());
            boxFrame = box->frameGeometry();
            const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            labelHeight = label->height();
            lineHeight = label->fontMetrics().height();
            details = box->detailedText();
            QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
            box->reject();
        });
        ShowMessage(MessageType::Error, text, QMessageBox::Ok);
        QVERIFY2(driver.failures.isEmpty(), qPrintable(driver.failures.join(u'\n')));
        QVERIFY2(boxFrame.width() <= screen.width(), qPrintable(QString::number(boxFrame.width())));
        QVERIFY2(boxFrame.height() <= screen.height(), qPrintable(QString::number(boxFrame.height())));
        QVERIFY2(labelHeight >= 4 * lineHeight, qPrintable(QString::number(labelHeight)));
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        QCOMPARE(details, cut ? text : QString());
    }
};

QTEST_MAIN(TestMessageBox)
#include "tst_message_box.moc"
