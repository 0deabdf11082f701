#pragma once

#include <QMdiSubWindow>
#include <memory>

namespace Ui {
class FormScriptList;
}
class QAction;
class QMainWindow;
class QMenu;
class QTableWidget;
class QToolBar;

// The catalogue window: the script catalogue in a grid, and the commands that open the entry
// editor on it. The window changes nothing itself; after each use of the editor it shows the
// catalogue as the editor left it and selects the entry worked on.
class TFormScriptList : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit TFormScriptList(QWidget* parent = nullptr);
    ~TFormScriptList() override;

    // Tool bar captions as App->ShowCaptions says, and the window never narrower than its tool
    // bar. Done at each show; the settings dialog calls it again when the setting changes.
    void ApplyCaptionSetting();

    // Controls and actions by their design names.
    QMainWindow* Body;
    QToolBar* ToolBar1;
    QTableWidget* strGrid;
    QMenu* PopupMenu;
    QAction* acIns;
    QAction* acView;
    QAction* acEdit;
    QAction* acDel;
    QAction* acExit;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormResize();
    // The one handler of add, view, edit, delete and the grid's double click; the mode follows
    // from the name of the component that gave the command.
    void acInsExecute(const QObject* Sender);
    void acExitExecute();

    std::unique_ptr<Ui::FormScriptList> ui;
    bool shown_ = false;
};
