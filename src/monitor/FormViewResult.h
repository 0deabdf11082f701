#pragma once

#include <QDialog>
#include <QList>
#include <memory>

namespace Ui {
class FormViewResult;
}
class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QStatusBar;

// The rows a command returned, as fixed-pitch text with the record count in the status bar. A modal
// dialog of the monitor window, created for one command run and filled by it.
class TFormViewResult : public QDialog {
    Q_OBJECT
public:
    explicit TFormViewResult(QWidget* owner);
    ~TFormViewResult() override;

    QPlainTextEdit* rchEdit;
    QStatusBar* StatusBar1;
    // The status bar's panels, left to right: 50 wide and empty, 100 wide with the design text
    // "записей", 50 wide and empty.
    QList<QLabel*> Panels;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Sees every key first, whichever control has the focus: Esc closes the window whatever
    // modifiers it comes with. True when the key was taken.
    bool FormKeyDown(const QKeyEvent& key);

    std::unique_ptr<Ui::FormViewResult> ui;
};
