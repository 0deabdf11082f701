#include "monitor/SortMarkerHeader.h"

#include "data/display/DataSetModel.h"
#include "data/view/SortMarker.h"

#include <QPainter>
#include <QStyleOptionHeader>

SortMarkerHeader::SortMarkerHeader(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setHighlightSections(false);
}

void SortMarkerHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    const auto marker = static_cast<SortMarker>(model()->headerData(logicalIndex, orientation(), DataSetModel::SortMarkerRole).toInt());
    // The style's "up" indicator means a descending sort in some styles; draw our own to be plain.
    option.sortIndicator = QStyleOptionHeader::None;
    painter->save();
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
    painter->restore();
    if (marker != SortMarker::Ascending && marker != SortMarker::Descending)
        return;
    const int size = 7;
    const QPoint centre(rect.right() - size - 2, rect.center().y());
    QPolygon triangle;
    if (marker == SortMarker::Ascending)
        triangle << QPoint(centre.x() - size / 2, centre.y() + 2) << QPoint(centre.x() + size / 2, centre.y() + 2)
                 << QPoint(centre.x(), centre.y() - 3);
    else
        triangle << QPoint(centre.x() - size / 2, centre.y() - 2) << QPoint(centre.x() + size / 2, centre.y() - 2)
                 << QPoint(centre.x(), centre.y() + 3);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(palette().color(QPalette::ButtonText));
    painter->drawPolygon(triangle);
    painter->restore();
}

QSize SortMarkerHeader::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    size.rwidth() += 14;
    return size;
}
