#include "monitor/ChangeMarkDelegate.h"

#include "app/ImageList.h"
#include "data/display/DataSetModel.h"
#include "data/view/RowLooks.h"

ChangeMarkDelegate::ChangeMarkDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

// Pale enough that the text, the selection and the greyed rows of an offline window stay legible.
QColor ChangeMarkDelegate::appearedColour()
{
    return QColor(0xd8, 0xf0, 0xd0);
}

QColor ChangeMarkDelegate::changedColour()
{
    return QColor(0xff, 0xe8, 0xa8);
}

void ChangeMarkDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant lookData = index.data(DataSetModel::LookRole);
    const RowLook look = lookData.isValid() ? lookData.value<RowLook>() : RowLook{};
    if (look.background != 0)
        option->backgroundBrush = QColor::fromRgba(look.background);
    if (look.bold)
        option->font.setBold(true);
    if (look.icon >= 0 && look.icon <= int(ImageSlot::Spreadsheet) && index.column() == 0) {
        option->icon = ImageListIcon(ImageSlot(look.icon));
        option->decorationSize = QSize(16, 16);
        option->features |= QStyleOptionViewItem::HasDecoration;
    }
    if (!shown_)
        return;
    const QVariant mark = index.data(DataSetModel::MarkRole);
    if (!mark.isValid())
        return;
    switch (DataSetModel::CellMark(mark.toInt())) {
    case DataSetModel::CellMark::RowAppeared:
        if (look.background == 0)
            option->backgroundBrush = appearedColour();
        break;
    case DataSetModel::CellMark::CellChanged:
        option->backgroundBrush = changedColour();
        break;
    case DataSetModel::CellMark::RowVanished:
        option->font.setStrikeOut(true);
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::Disabled, QPalette::Text));
        break;
    case DataSetModel::CellMark::None:
        break;
    }
}
