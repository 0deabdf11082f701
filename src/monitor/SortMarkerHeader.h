#pragma once

#include <QHeaderView>

// Column titles that show every sorted column's marker at once: up for ascending, down for
// descending, as the model's sort-marker header data says.
class SortMarkerHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit SortMarkerHeader(QWidget* parent = nullptr);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;
};
