#include "monitor/HistoryBar.h"

#include <QDateTime>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

namespace {

const QString MarkTip = QStringLiteral("Отмечать появившиеся, исчезнувшие и изменившиеся строки");
const QString MarkByPositionTip =
    MarkTip + QStringLiteral(" (ключевые столбцы не заданы: строки сравниваются по порядку)");

} // namespace

HistoryBar::HistoryBar(bool recordable, QWidget* parent) : QToolBar(QStringLiteral("История"), parent)
{
    setObjectName(QStringLiteral("HistoryBar"));
    setMovable(false);
    // Its actions have no images: captions whatever the tool bar setting says.
    setToolButtonStyle(Qt::ToolButtonTextOnly);

    acMark = addAction(QStringLiteral("Отметки"));
    acMark->setObjectName(QStringLiteral("acMark"));
    acMark->setCheckable(true);
    acMark->setToolTip(MarkTip);
    acPin = addAction(QStringLiteral("Закрепить"));
    acPin->setObjectName(QStringLiteral("acPin"));
    acPin->setCheckable(true);
    acPin->setToolTip(QStringLiteral("Отмечать изменения относительно показанного сейчас обновления"));
    addSeparator();

    Slider = new QSlider(Qt::Horizontal, this);
    Slider->setObjectName(QStringLiteral("HistorySlider"));
    Slider->setMinimumWidth(80);
    Slider->setRange(0, 0);
    Slider->setPageStep(10);
    Slider->setToolTip(QStringLiteral("Показать одно из прежних обновлений"));
    addWidget(Slider);
    TimeLabel = new QLabel(this);
    TimeLabel->setObjectName(QStringLiteral("HistoryTime"));
    TimeLabel->setMinimumWidth(TimeLabel->fontMetrics().horizontalAdvance(QStringLiteral(" 00:00:00  0000/0000 ")));
    addWidget(TimeLabel);
    acNow = addAction(QStringLiteral("Сейчас"));
    acNow->setObjectName(QStringLiteral("acNow"));
    acNow->setToolTip(QStringLiteral("Вернуться к последнему обновлению"));
    if (recordable) {
        addSeparator();
        acRecord = addAction(QStringLiteral("Записывать"));
        acRecord->setObjectName(QStringLiteral("acRecord"));
        acRecord->setCheckable(true);
        acRecord->setToolTip(QStringLiteral("Записывать каждое обновление в файл записи"));
        addSeparator();
        acBlocking = addAction(QStringLiteral("Дерево блокировок"));
        acBlocking->setObjectName(QStringLiteral("acBlocking"));
        acBlocking->setCheckable(true);
        acBlocking->setEnabled(false);
        acBlocking->setToolTip(QStringLiteral("Показать цепочки заблокированных сеансов вместо таблицы"));
        acEvents = addAction(QStringLiteral("События"));
        acEvents->setObjectName(QStringLiteral("acEvents"));
        acEvents->setCheckable(true);
        acEvents->setToolTip(QStringLiteral("Показать список событий правил строк"));
    }
    connect(Slider, &QSlider::valueChanged, this, &HistoryBar::frameChosen);
    ShowPlace(0, -1, true, 0);
}

void HistoryBar::ShowPlace(int count, int shown, bool live, qint64 time)
{
    const QSignalBlocker quiet(Slider);
    Slider->setRange(0, std::max(count - 1, 0));
    Slider->setValue(std::max(shown, 0));
    Slider->setEnabled(count > 1);
    acNow->setEnabled(!live && count > 0);
    if (count == 0) {
        TimeLabel->setText(QString());
        return;
    }
    const QString clock = QDateTime::fromMSecsSinceEpoch(time).toString(QStringLiteral("HH:mm:ss"));
    TimeLabel->setText(live ? QStringLiteral(" Сейчас (%1) ").arg(clock)
                            : QStringLiteral(" %1  %2/%3 ").arg(clock).arg(shown + 1).arg(count));
}

void HistoryBar::ShowMatching(bool byPosition)
{
    acMark->setText(byPosition ? QStringLiteral("Отметки (по порядку)") : QStringLiteral("Отметки"));
    acMark->setToolTip(byPosition ? MarkByPositionTip : MarkTip);
}
