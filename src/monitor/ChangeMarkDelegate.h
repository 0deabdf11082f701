#pragma once

#include <QStyledItemDelegate>

// Draws the marks of a grid's changes: a row that appeared and a cell that changed each on a
// background of its own, a row that vanished greyed and struck through. The switch turns the
// marks off without touching the rows. Draws the looks of row rules as well, whatever the switch
// says: a rule's background wins over the appeared row's, a changed cell keeps its own.
class ChangeMarkDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ChangeMarkDelegate(QObject* parent = nullptr);

    bool shown() const { return shown_; }
    void setShown(bool shown) { shown_ = shown; }

    static QColor appearedColour();
    static QColor changedColour();

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    bool shown_ = true;
};
