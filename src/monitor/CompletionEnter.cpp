#include "monitor/CompletionEnter.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QTimer>

namespace {

// Installed after the completer's own filter on its list, so it sees the key first and leaves it to
// the completer; the press is queued until the completer has put the chosen value in its box.
class EnterAfterCompletion : public QObject {
public:
    EnterAfterCompletion(QObject* parent, std::function<void()> press) : QObject(parent), press_(std::move(press)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && static_cast<QWidget*>(watched)->isVisible())
                QTimer::singleShot(0, this, press_);
        }
        return false;
    }

private:
    std::function<void()> press_;
};

} // namespace

void PassEnterOnAfterCompletion(QCompleter* completer, std::function<void()> press)
{
    completer->popup()->installEventFilter(new EnterAfterCompletion(completer, std::move(press)));
}
