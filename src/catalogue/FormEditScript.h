#pragma once

#include "app/ScriptOptions.h"
#include "catalogue/EditorMode.h"
#include "catalogue/MenuFile.h"

#include <QDialog>
#include <memory>

namespace Ui {
class FormEditScript;
}
class QAction;
class QFileDialog;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class RuleListEditor;
class QTabWidget;
class QTableWidget;
class QToolBar;
class QToolButton;
class TSensor;

// The entry editor: one catalogue entry with the SQL text of its script file on page "Скрипт",
// its command menu on page "Вспомогательное меню" and its options on page "Параметры". Apply
// writes the script file, the options when they were changed, and the catalogue; the items are
// written to the menu file by the item editor as each is applied. Every close reloads the
// catalogue from the scripts file.
class TFormEditScript : public QDialog {
    Q_OBJECT
public:
    // Works on the catalogue entry at entryIndex in every mode but add. Throws when the entry's
    // script file or command menu cannot be read; the editor does not open then.
    TFormEditScript(EditorMode mode, int entryIndex, QWidget* owner);
    ~TFormEditScript() override;

    void done(int result) override;
    void reject() override;

    const EditorMode Mode;
    // The entry's command menu as read, followed by the items added since.
    SubScriptList Menus;

    // Controls and actions by their design names.
    QTabWidget* PageControl1;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QToolButton* BitBtn3;
    QPlainTextEdit* rchEdit;
    QToolBar* ToolBar1;
    QTableWidget* strGrid;
    QLineEdit* edKeyColumns;
    QLineEdit* edCumulativeColumns;
    RuleListEditor* RuleList;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QFileDialog* OpenDlg;
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
    void BitBtn3Click();
    void BitBtn1Click();
    // Writes the options under the entry's identifier when the fields differ from what was read.
    void ApplyOptions();
    // The one handler of the command menu's add, view, edit, delete and the grid's double click.
    void acInsExecute(const QObject* Sender);
    void acExitExecute();
    // Throws the list's index error when the catalogue holds no entry there.
    TSensor& Entry() const;
    void DeleteEntry();

    std::unique_ptr<Ui::FormEditScript> ui;
    const int entryIndex_;
    // The entry's options as last read or written: what the fields are compared with.
    ScriptOptions options_;
};
