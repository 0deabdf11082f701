#include "app/MessageBox.h"

#include <QPushButton>
#include <QTimer>
#include <QtTest>

// The real box, as the operator meets it: its buttons in the program's own order, the answer the
// one clicked, Esc the box's way out.
class TestMessageBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buttonsKeepTheProgramsOrder()
    {
        QStringList order;
        auto* timer = new QTimer(this);
        timer->setInterval(20);
        connect(timer, &QTimer::timeout, this, [&order, timer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            timer->stop();
            QList<QAbstractButton*> buttons = box->buttons();
            std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
                return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
            });
            for (QAbstractButton* button : buttons)
                order.append(button->text().remove(u'&'));
            buttons.back()->click();
        });
        timer->start();
        const QMessageBox::StandardButton clicked =
            ShowMessage(MessageType::Confirmation, QStringLiteral("Использовать шаблон выгрузки?"),
                        QMessageBox::Ok | QMessageBox::No);
        QCOMPARE(order, (QStringList{QStringLiteral("No"), QStringLiteral("OK")}));
        QCOMPARE(clicked, QMessageBox::Ok);
        delete timer;
    }

    void escapeAndTheDefaultButton()
    {
        auto* timer = new QTimer(this);
        timer->setInterval(20);
        bool okIsDefault = false;
        connect(timer, &QTimer::timeout, this, [&okIsDefault, timer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            timer->stop();
            for (QAbstractButton* button : box->buttons()) {
                if (button->text().remove(u'&') == QStringLiteral("OK"))
                    okIsDefault = static_cast<QPushButton*>(button)->isDefault();
            }
            QTest::keyClick(box, Qt::Key_Escape);
        });
        timer->start();
        QCOMPARE(ShowMessage(MessageType::Confirmation, QStringLiteral("?"), QMessageBox::Ok | QMessageBox::No),
                 QMessageBox::No);
        QVERIFY(okIsDefault);
        delete timer;
    }
};

QTEST_MAIN(TestMessageBox)
#include "tst_message_box.moc"
