#pragma once

#include "catalogue/EditorMode.h"
#include "catalogue/MenuFile.h"

#include <QDialog>
#include <memory>

namespace Ui {
class FormScriptMenuEditor;
}
class QCheckBox;
class QFileDialog;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

// The item editor: one command menu item of the entry being edited. Apply changes the entry
// editor's item list, writes the item's script file where the mode calls for it, and writes the
// entry's command menu to the menu file at once.
class TFormScriptMenuEditor : public QDialog {
    Q_OBJECT
public:
    // menus is the entry editor's list; in every mode but add the editor works on its item at
    // itemIndex. section is the menu file section written: the entry's identifier as typed.
    // Throws when the item's script file cannot be read; the editor does not open then.
    TFormScriptMenuEditor(EditorMode mode, SubScriptList& menus, int itemIndex, QString section, QWidget* owner);
    ~TFormScriptMenuEditor() override;

    void reject() override;

    const EditorMode Mode;

    // Controls by their design names.
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QToolButton* BitBtn3;
    QLineEdit* Edit4;
    QCheckBox* chBox1;
    QPlainTextEdit* rchEdit;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QFileDialog* OpenDlg;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void Edit3Exit();
    void BitBtn3Click();
    void BitBtn1Click();
    void TakeFields(TSubScript& item) const;
    // Refuses, with a message, fields that the menu file could not give back as typed: one holding
    // the field delimiter, or a value longer than a reading takes.
    bool FieldsStorable(const MenuFile& file);
    void DeleteItem(MenuFile& file);
    // Deletes the script file of the item just taken out of the list and the file, unless a
    // catalogue entry or any value of the menu file names the same file.
    void DeleteUnusedScriptFile(const TSubScript& item, const MenuFile& file) const;

    std::unique_ptr<Ui::FormScriptMenuEditor> ui;
    SubScriptList& menus_;
    const QString section_;
    // The item worked on: the list's item in view, edit and delete mode until a delete has taken it
    // out; in add mode the item that a first apply appended, so that applying again after a
    // failed step appends nothing more.
    TSubScript* item_ = nullptr;
    // A script file that a failed add created: applying again writes the text into it once more.
    QString createdFile_;
};
