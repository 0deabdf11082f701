#pragma once

#include <QMdiSubWindow>

class QPlainTextEdit;

// The action log as it is on disk when the window opens: read-only, its newest line at the bottom
// and in view, every line selectable and copyable.
class TFormActionLog : public QMdiSubWindow {
    Q_OBJECT
public:
    // Throws FileError when the log exists but cannot be read.
    explicit TFormActionLog(const QString& path, QWidget* parent = nullptr);

    QPlainTextEdit* Lines;
};
