#pragma once

#include <QObject>

class QToolBar;

// A tool bar narrower than its controls folds the last ones behind its extension button. Clicked,
// the button unfolds them in rows over the window, or, where the window is too low for the rows,
// offers a menu instead, which cannot hold widgets such as an interval or a script box. The bar makes
// that choice only when it joins its window; this keeps the window high enough for the rows and has
// the bar choose again whenever the window changes size.
class ToolBarFolding : public QObject {
public:
    explicit ToolBarFolding(QToolBar* bar);

    // After the bar's controls or their captions changed: the bar may be narrower than its controls,
    // and its window keeps the height to unfold them.
    void Update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Rechoose();

    QToolBar* bar_;
};
