#include "monitor/RuleEventList.h"

#include "data/history/RuleEvent.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

RuleEventList::RuleEventList(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("RuleEventList"));
    setWindowTitle(QStringLiteral("События"));
    lines_ = new QTreeWidget(this);
    lines_->setObjectName(QStringLiteral("EventLines"));
    lines_->setRootIsDecorated(false);
    lines_->setUniformRowHeights(true);
    lines_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lines_->setHeaderLabels({QStringLiteral("Время"), QStringLiteral("Правило"), QStringLiteral("Строка"),
                             QStringLiteral("Значения")});
    lines_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lines_->header()->setStretchLastSection(true);
    auto* copy = new QPushButton(QStringLiteral("Копировать"), this);
    copy->setObjectName(QStringLiteral("EventsCopy"));
    auto* clearButton = new QPushButton(QStringLiteral("Очистить"), this);
    clearButton->setObjectName(QStringLiteral("EventsClear"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(clearButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lines_);
    layout->addLayout(buttons);
    resize(560, 240);
    connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(text()); });
    connect(clearButton, &QPushButton::clicked, this, &RuleEventList::clear);
}

void RuleEventList::append(const RuleEvent& event)
{
    if (lines_->topLevelItemCount() >= KeptAtMost)
        delete lines_->takeTopLevelItem(0);
    const QString time = QDateTime::fromMSecsSinceEpoch(event.time).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    lines_->addTopLevelItem(new QTreeWidgetItem(QStringList{time, event.rule, event.key, event.values}));
    lines_->scrollToBottom();
}

int RuleEventList::count() const
{
    return lines_->topLevelItemCount();
}

QString RuleEventList::text() const
{
    QStringList lines;
    for (int i = 0; i < lines_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lines_->topLevelItem(i);
        QStringList fields;
        for (int column = 0; column < lines_->columnCount(); ++column)
            fields.append(item->text(column));
        lines.append(fields.join(QLatin1Char('\t')));
    }
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void RuleEventList::clear()
{
    lines_->clear();
}

void RuleEventList::closeEvent(QCloseEvent* event)
{
    Q_EMIT closed();
    QWidget::closeEvent(event);
}
