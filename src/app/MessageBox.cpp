#include "app/MessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <bit>
#include <climits>
#include <utility>
#include <vector>

namespace {

MessageHandler& handler()
{
    static MessageHandler instance;
    return instance;
}

QMessageBox::Icon iconOf(MessageType type)
{
    switch (type) {
    case MessageType::Error: return QMessageBox::Critical;
    case MessageType::Warning: return QMessageBox::Warning;
    case MessageType::Confirmation: return QMessageBox::Question;
    case MessageType::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// The program's boxes set out their buttons in this order whatever the desktop's habit, as the
// operators know them: No before OK in the export's question.
constexpr QMessageBox::StandardButton ButtonOrder[] = {
    QMessageBox::Yes,   QMessageBox::No,     QMessageBox::Ok,       QMessageBox::Cancel,  QMessageBox::Abort,
    QMessageBox::Retry, QMessageBox::Ignore, QMessageBox::YesToAll, QMessageBox::NoToAll, QMessageBox::Help,
};

QMessageBox::StandardButton FirstOf(QMessageBox::StandardButtons buttons,
                                    std::initializer_list<QMessageBox::StandardButton> wanted)
{
    for (const QMessageBox::StandardButton button : wanted) {
        if (buttons.testFlag(button))
            return button;
    }
    return QMessageBox::NoButton;
}

QMessageBox::StandardButton ExecInOrder(QMessageBox& box, QMessageBox::StandardButtons buttons)
{
    // The platform's text and icon of each button, laid out by the box in the order added.
    QDialogButtonBox platform;
    std::vector<std::pair<QAbstractButton*, QMessageBox::StandardButton>> added;
    for (const QMessageBox::StandardButton standard : ButtonOrder) {
        if (!buttons.testFlag(standard))
            continue;
        const QPushButton* model = platform.addButton(QDialogButtonBox::StandardButton(int(standard)));
        auto* button = new QPushButton(model->icon(), model->text(), &box);
        box.addButton(button, QMessageBox::ActionRole);
        added.emplace_back(button, standard);
    }
    const auto find = [&](QMessageBox::StandardButton standard) -> QPushButton* {
        for (const auto& [button, which] : added) {
            if (which == standard)
                return static_cast<QPushButton*>(button);
        }
        return nullptr;
    };
    const QMessageBox::StandardButton byDefault = FirstOf(buttons, {QMessageBox::Ok, QMessageBox::Yes});
    box.setDefaultButton(byDefault != QMessageBox::NoButton ? find(byDefault) : static_cast<QPushButton*>(added.front().first));
    const QMessageBox::StandardButton escape = FirstOf(buttons, {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok});
    if (escape != QMessageBox::NoButton)
        box.setEscapeButton(find(escape));
    box.exec();
    for (const auto& [button, which] : added) {
        if (box.clickedButton() == button)
            return which;
    }
    return escape;
}

// Ctrl+C on a box copies its whole text, however it is wrapped or how much of it is selected.
class CopyWholeText : public QObject {
public:
    CopyWholeText(QMessageBox& box, QString text) : QObject(&box), text_(std::move(text)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
            return false;
        if (!static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
            return false;
        if (event->type() == QEvent::KeyPress)
            QGuiApplication::clipboard()->setText(text_);
        event->accept();
        return true;
    }

private:
    QString text_;
};

// Runs longer than this without a blank (a path, a long value, a driver's message) may break
// anywhere, so that a box wraps them within its width instead of cutting them at its edge.
constexpr qsizetype LongestUnbrokenRun = 24;
constexpr QChar BreakOpportunity(0x200B);

QString Breakable(const QString& text)
{
    QString result;
    result.reserve(text.size() + text.size() / LongestUnbrokenRun);
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > LongestUnbrokenRun) {
            result += BreakOpportunity;
            run = 1;
        }
        result += c;
    }
    return result;
}

// The box shows the text wrapped within about half the screen's width, no higher than half its height
// (a longer text is cut there with "…" and shown whole, scrolling, under the box's details), lets it
// be selected, and copies it whole, without the break opportunities.
void SetLongText(QMessageBox& box, const QString& text, const QWidget* parent)
{
    const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen->availableGeometry();
    const int width = std::clamp(room.width() / 2, 300, 600);
    const int tallest = room.height() / 2;
    const QFontMetrics metrics(box.font());
    const auto heightOf = [&](const QString& part) {
        return metrics.boundingRect(QRect(0, 0, width, INT_MAX), Qt::TextWrapAnywhere, part).height();
    };
    QString shown = text;
    if (const int height = heightOf(text); height > tallest) {
        shown = text.left(text.size() * tallest / height) + QChar(0x2026);
        box.setDetailedText(text);
    }
    // A box picks its width by its text's longest line; a long text gets the room it needs.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        label && metrics.horizontalAdvance(shown) > width)
        label->setMinimumWidth(width);
    // A driver's message is no markup, whatever angle brackets it holds.
    box.setTextFormat(Qt::PlainText);
    box.setText(Breakable(shown));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* copy = new CopyWholeText(box, text);
    box.installEventFilter(copy);
    for (QWidget* child : box.findChildren<QWidget*>())
        child->installEventFilter(copy);
}

} // namespace

QString MessageTitle(MessageType type)
{
    switch (type) {
    case MessageType::Error: return QStringLiteral("Ошибка");
    case MessageType::Warning: return QStringLiteral("Предупреждение");
    case MessageType::Confirmation: return QStringLiteral("Подтверждение");
    case MessageType::Information: return QStringLiteral("Информация");
    }
    return {};
}

void SetMessageHandler(MessageHandler h)
{
    handler() = std::move(h);
}

QMessageBox::StandardButton ShowMessage(MessageType type, const QString& text,
                                        QMessageBox::StandardButtons buttons, QWidget* parent)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Drivers indent their messages with tabs, which a box shows as wide gaps.
    shown.replace(QLatin1Char('\t'), QLatin1Char(' '));
    if (handler())
        return handler()({type, shown, buttons});

    if (!parent)
        parent = QApplication::activeWindow();
    if (std::popcount(uint(buttons.toInt())) > 1) {
        QMessageBox box(iconOf(type), MessageTitle(type), QString(), QMessageBox::NoButton, parent);
        SetLongText(box, shown, parent);
        return ExecInOrder(box, buttons);
    }
    QMessageBox box(iconOf(type), MessageTitle(type), QString(), buttons, parent);
    SetLongText(box, shown, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowErrorReport(const QString& text)
{
    ShowMessage(MessageType::Error, text, QMessageBox::Ok);
}
