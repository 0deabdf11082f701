#pragma once

// Acting on modal dialogs from a test: a poller waits until a dialog of the wanted class is the
// active modal widget and shown, acts on it once and stops. A poller that waits too long closes
// whatever modal widget is open and records the failure, so a stuck dialog never hangs the test.
// A watch acts on every such dialog while it lives, and rejects one that act left open.

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class ModalDriver : public QObject {
public:
    explicit ModalDriver(QObject* parent = nullptr) : QObject(parent) {}

    // Runs act on the next modal T to appear, other than skip (a dialog already answered that may
    // still be open while its answer is being worked on).
    template <typename T>
    void next(std::function<void(T*)> act, int timeoutMs = 20000, QPointer<QWidget> skip = {})
    {
        auto* timer = new QTimer(this);
        auto started = std::make_shared<qint64>(0);
        timer->setInterval(20);
        QObject::connect(timer, &QTimer::timeout, this, [this, timer, act, started, timeoutMs, skip] {
            *started += timer->interval();
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<T*>(modal); dialog && dialog->isVisible() && dialog != skip.data()) {
                timer->stop();
                timer->deleteLater();
                act(dialog);
                return;
            }
            if (*started > timeoutMs) {
                timer->stop();
                timer->deleteLater();
                failures.append(QStringLiteral("no modal %1 appeared").arg(QString::fromLatin1(T::staticMetaObject.className())));
                if (auto* stuck = qobject_cast<QDialog*>(modal))
                    stuck->reject();
            }
        });
        timer->start();
    }

    template <typename T>
    std::unique_ptr<QTimer> watch(std::function<void(T*)> act)
    {
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(20);
        QObject::connect(timer.get(), &QTimer::timeout, this, [act] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            act(dialog);
            if (auto* open = qobject_cast<QDialog*>(dialog); open && open->isVisible())
                open->reject();
        });
        timer->start();
        return timer;
    }

    QStringList failures;
};
