#include "catalogue/FormEditScript.h"
#include "ui_FormEditScript.h"

#include "app/DialogPlacement.h"
#include "app/Guarded.h"
#include "app/ModalResult.h"
#include "app/OptionsFile.h"
#include "app/ServiceClasses.h"
#include "app/Utils.h"
#include "catalogue/DelimitedFields.h"
#include "catalogue/EntryCommands.h"
#include "catalogue/EntryGrid.h"
#include "catalogue/FormScriptMenuEditor.h"
#include "catalogue/RuleListEditor.h"
#include "catalogue/ScriptControls.h"
#include "catalogue/ScriptText.h"
#include "platform/FileSystem.h"
#include "platform/LineFile.h"
#include "platform/QuillonError.h"

#include <QDir>
#include <QFileDialog>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

namespace {

const QString ChooseFileTitle = QStringLiteral("Укажите файл содержащий SQL скрипт ...");

QString ColumnListText(const QStringList& columns)
{
    return columns.join(QStringLiteral(", "));
}

} // namespace

TFormEditScript::TFormEditScript(EditorMode mode, int entryIndex, QWidget* owner)
    : QDialog(owner)
    , Mode(mode)
    , ui(std::make_unique<Ui::FormEditScript>())
    , entryIndex_(entryIndex)
{
    ui->setupUi(this);
    PageControl1 = ui->PageControl1;
    Edit1 = ui->Edit1;
    Edit2 = ui->Edit2;
    Edit3 = ui->Edit3;
    BitBtn3 = ui->BitBtn3;
    rchEdit = ui->rchEdit;
    ToolBar1 = ui->ToolBar1;
    strGrid = ui->strGrid;
    edKeyColumns = ui->edKeyColumns;
    edCumulativeColumns = ui->edCumulativeColumns;
    RuleList = new RuleListEditor(ui->TabSheet3);
    // Below the hint, above the spacer.
    ui->OptionsLayout->insertWidget(2, RuleList, 1);
    setTabOrder(edCumulativeColumns, RuleList->lstRules);
    setTabOrder(RuleList->lstRules, RuleList->btnAddRule);
    setTabOrder(RuleList->btnAddRule, RuleList->btnEditRule);
    setTabOrder(RuleList->btnEditRule, RuleList->btnDeleteRule);
    setTabOrder(RuleList->btnDeleteRule, ui->BitBtn1);
    BitBtn1 = ui->BitBtn1;
    BitBtn2 = ui->BitBtn2;
    acIns = ui->acIns;
    acView = ui->acView;
    acEdit = ui->acEdit;
    acDel = ui->acDel;
    acExit = ui->acExit;
    OpenDlg = NewScriptFileDialog(this, BitBtn3, ChooseFileTitle);
    SetUpScriptTextBox(rchEdit);
    // The command keys belong to the page of the command menu: on page "Скрипт" Ins and Ctrl+Del
    // stay with the text boxes.
    PopupMenu = SetUpEntryCommands({acIns, acView, acEdit, acDel, acExit}, ui->TabSheet2);

    for (QAction* command : {acIns, acView, acEdit, acDel})
        ConnectGuarded(command, &QAction::triggered, this, [this, command] { acInsExecute(command); });
    ConnectGuarded(acExit, &QAction::triggered, this, [this] { acExitExecute(); });
    ConnectGuarded(strGrid, &QTableWidget::cellDoubleClicked, this, [this] { acInsExecute(strGrid); });
    ConnectGuarded(strGrid, &QWidget::customContextMenuRequested, this,
                   [this](const QPoint& at) { PopupMenu->popup(strGrid->viewport()->mapToGlobal(at)); });
    ConnectGuarded(BitBtn3, &QToolButton::clicked, this, [this] { BitBtn3Click(); });
    ConnectGuarded(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ConnectGuarded(BitBtn2, &QPushButton::clicked, this, [this] { done(mrCancel); });
    strGrid->installEventFilter(this);

    FormCreate();
}

TFormEditScript::~TFormEditScript() = default;

TSensor& TFormEditScript::Entry() const
{
    if (entryIndex_ < 0 || entryIndex_ >= static_cast<int>(App->Sensors.size()))
        throw QuillonError(QStringLiteral("List index out of bounds (%1)").arg(entryIndex_));
    return *App->Sensors[static_cast<std::size_t>(entryIndex_)];
}

void TFormEditScript::FormCreate()
{
    PageControl1->setCurrentIndex(0);
    const QString scriptsFolder = QDir::toNativeSeparators(App->AppPath + QStringLiteral("Scripts/"));
    OpenDlg->setDirectory(FileSystemPath(scriptsFolder));
    setWindowTitle(ModeCaption(Mode));
    if (Mode == EditorMode::Add) {
        Edit3->setText(scriptsFolder);
        // Typing starts in the identifier, not on the page tabs that come first in the tab order.
        Edit1->setFocus();
    } else {
        const TSensor& entry = Entry();
        Edit1->setText(entry.Id);
        Edit2->setText(entry.Name);
        Edit3->setText(entry.ScriptFile);
        const QString scriptFile = ExpandAppPath(entry.ScriptFile);
        if (FileExists(scriptFile))
            rchEdit->setPlainText(ReadScriptText(scriptFile));
        Edit1->setEnabled(false);
        const bool editable = Mode == EditorMode::Edit;
        for (QWidget* control : {static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit3),
                                 static_cast<QWidget*>(BitBtn3), static_cast<QWidget*>(rchEdit),
                                 static_cast<QWidget*>(edKeyColumns), static_cast<QWidget*>(edCumulativeColumns),
                                 static_cast<QWidget*>(RuleList)})
            control->setEnabled(editable);
        if (editable)
            Edit2->setFocus();
        Menus = MenuFile(ExpandAppPath(App->MenuFile), App->IniDelimiter).Read(entry.Id);
        options_ = ReadScriptOptions(ExpandAppPath(App->OptionsFile), entry.Id);
        edKeyColumns->setText(ColumnListText(options_.keyColumns));
        edCumulativeColumns->setText(ColumnListText(options_.cumulativeColumns));
        RuleList->setRules(options_.rules);
    }
    SetUpEntryGrid(strGrid);
    FillEntryGrid(strGrid, Menus);
    FormResize();
    SelectEntryRow(strGrid, 1);
}

void TFormEditScript::showEvent(QShowEvent* event)
{
    CentreOnMainWindow(this);
    QDialog::showEvent(event);
    FormShow();
}

void TFormEditScript::FormShow()
{
    PageControl1->setCurrentIndex(1);
    ApplyToolBarCaptions(ToolBar1);
    PageControl1->setCurrentIndex(0);
}

bool TFormEditScript::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == strGrid && event->type() == QEvent::Resize)
        Guarded([this] { FormResize(); });
    return QDialog::eventFilter(watched, event);
}

void TFormEditScript::FormResize()
{
    LayOutEntryColumns(strGrid);
}

void TFormEditScript::BitBtn3Click()
{
    OpenDlg->setWindowTitle(ChooseFileTitle);
    SelectScriptFilter(OpenDlg);
    if (OpenDlg->exec() != QDialog::Accepted || OpenDlg->selectedFiles().isEmpty())
        return;
    const QString chosen = QDir::toNativeSeparators(OpenDlg->selectedFiles().constFirst());
    Edit3->setText(chosen);
    rchEdit->setPlainText(ReadScriptText(chosen));
}

void TFormEditScript::BitBtn1Click()
{
    // A step that fails leaves the editor open with everything the operator typed; the steps
    // before it stay done.
    if ((Mode == EditorMode::Add || Mode == EditorMode::Edit)
        && !FieldsFreeOfDelimiter({{ui->Label1, Edit1}, {ui->Label2, Edit2}, {ui->Label3, Edit3}}, App->IniDelimiter,
                                  this))
        return;
    WriteScriptText(ExpandAppPath(Edit3->text()), rchEdit->toPlainText());
    // Before the catalogue: an add whose options fail is applied again, and must add its entry once.
    ApplyOptions();
    switch (Mode) {
    case EditorMode::View:
        break;
    case EditorMode::Edit: {
        TSensor& entry = Entry();
        entry.Id = Edit1->text();
        entry.Name = Edit2->text();
        entry.ScriptFile = Edit3->text();
        App->SaveSensors();
        break;
    }
    case EditorMode::Add: {
        auto entry = std::make_unique<TSensor>();
        entry->Id = Edit1->text();
        entry->Name = Edit2->text();
        entry->ScriptFile = Edit3->text();
        App->Sensors.push_back(std::move(entry));
        try {
            App->SaveSensors();
        } catch (...) {
            // Applying again must add the entry once.
            App->Sensors.pop_back();
            throw;
        }
        break;
    }
    case EditorMode::Delete:
        DeleteEntry();
        break;
    }
    done(mrOk);
}

void TFormEditScript::ApplyOptions()
{
    // What the page does not show (history limits, blocking and commands) is written back as read.
    ScriptOptions typed = options_;
    typed.keyColumns = ParseColumnList(edKeyColumns->text());
    typed.cumulativeColumns = ParseColumnList(edCumulativeColumns->text());
    typed.rules = RuleList->rules();
    if (typed == options_)
        return;
    WriteScriptOptions(ExpandAppPath(App->OptionsFile), Edit1->text(), typed);
    options_ = typed;
}

void TFormEditScript::DeleteEntry()
{
    const TSensor& entry = Entry();
    const QString scriptsFile = ExpandAppPath(App->SensorsFile);
    QStringList lines = ReadLines(scriptsFile);
    // The line is found by its fields as a load reads them, so blanks around a delimiter do not
    // hide it.
    for (qsizetype i = 0; i < lines.size(); ++i) {
        TSensor stored;
        SplitSensorLine(lines.at(i), App->IniDelimiter, stored);
        if (stored.Name == entry.Name && stored.Id == entry.Id && stored.ScriptFile == entry.ScriptFile) {
            lines.removeAt(i);
            break;
        }
    }
    WriteLines(scriptsFile, lines);
    App->Sensors.erase(App->Sensors.begin() + entryIndex_);
}

void TFormEditScript::done(int result)
{
    // The catalogue in memory becomes the scripts file's content again, whatever happened here.
    Guarded([] { App->LoadSensors(); });
    QDialog::done(result);
}

void TFormEditScript::reject()
{
    done(mrCancel);
}

void TFormEditScript::acInsExecute(const QObject* Sender)
{
    const EditorMode mode = ModeOfSender(Sender->objectName());
    const int selected = strGrid->currentRow();
    const int index = selected - 1;
    if (mode != EditorMode::Add && (index < 0 || index >= static_cast<int>(Menus.size())))
        return;
    const QTableWidgetItem* cell = strGrid->item(selected, 1);
    QString id = cell ? cell->text() : QString();
    {
        TFormScriptMenuEditor editor(mode, Menus, index, Edit1->text(), this);
        editor.exec();
        if (mode == EditorMode::Add)
            id = editor.Edit1->text();
    }
    int row = strGrid->currentRow();
    FillEntryGrid(strGrid, Menus);
    FormResize();
    row = std::min(row, strGrid->rowCount() - 1);
    // Of several items with the identifier the last is taken: a new item is appended.
    if (const int found = FindEntryRow(strGrid, id, true); found > 0)
        row = found;
    SelectEntryRow(strGrid, row);
}

void TFormEditScript::acExitExecute()
{
    done(mrCancel);
}
