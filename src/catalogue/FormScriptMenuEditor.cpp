#include "catalogue/FormScriptMenuEditor.h"
#include "ui_FormScriptMenuEditor.h"

#include "app/Guarded.h"
#include "app/MessageBox.h"
#include "app/ModalResult.h"
#include "app/ServiceClasses.h"
#include "app/Utils.h"
#include "catalogue/DelimitedFields.h"
#include "catalogue/ScriptControls.h"
#include "catalogue/ScriptText.h"
#include "platform/FileSystem.h"
#include "platform/QuillonError.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFocusEvent>
#include <QSet>

#include <algorithm>

namespace {

const QString ChooseFileTitle = QStringLiteral("Укажите файл хранения SQL-скрипта ...");
const QString ScriptsFolder = QStringLiteral("Scripts\\\\");
const QString TooLongMessage = QStringLiteral(
    "Команда не помещается в файл меню: её запись займёт %1 символов, а читается не более %2.\r"
    "Сократите наименование, идентификатор, скрипт-файл или идентифицирующее поле.");

} // namespace

TFormScriptMenuEditor::TFormScriptMenuEditor(EditorMode mode, SubScriptList& menus, int itemIndex, QString section,
                                             QWidget* owner)
    : QDialog(owner)
    , Mode(mode)
    , ui(std::make_unique<Ui::FormScriptMenuEditor>())
    , menus_(menus)
    , section_(std::move(section))
{
    ui->setupUi(this);
    Edit1 = ui->Edit1;
    Edit2 = ui->Edit2;
    Edit3 = ui->Edit3;
    BitBtn3 = ui->BitBtn3;
    Edit4 = ui->Edit4;
    chBox1 = ui->chBox1;
    rchEdit = ui->rchEdit;
    BitBtn1 = ui->BitBtn1;
    BitBtn2 = ui->BitBtn2;
    OpenDlg = NewScriptFileDialog(this, BitBtn3, ChooseFileTitle);
    SetUpScriptTextBox(rchEdit);

    if (Mode != EditorMode::Add) {
        if (itemIndex < 0 || itemIndex >= static_cast<int>(menus_.size()))
            throw QuillonError(QStringLiteral("List index out of bounds (%1)").arg(itemIndex));
        item_ = menus_[static_cast<std::size_t>(itemIndex)].get();
    }

    ConnectGuarded(BitBtn3, &QToolButton::clicked, this, [this] { BitBtn3Click(); });
    ConnectGuarded(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ConnectGuarded(BitBtn2, &QPushButton::clicked, this, [this] { done(mrCancel); });
    Edit3->installEventFilter(this);

    FormCreate();
}

TFormScriptMenuEditor::~TFormScriptMenuEditor() = default;

void TFormScriptMenuEditor::FormCreate()
{
    // The program folder stands where the process's current folder would.
    OpenDlg->setDirectory(FileSystemPath(ExpandAppPath(ScriptsFolder)));
    setWindowTitle(ModeCaption(Mode));
    if (Mode == EditorMode::Add) {
        Edit3->setText(ScriptsFolder);
        return;
    }
    Edit1->setText(item_->Id);
    Edit2->setText(item_->Name);
    Edit3->setText(item_->ScriptFile);
    Edit4->setText(item_->IdField);
    chBox1->setChecked((item_->ShowResult & 0xFF) != 0);
    const QString scriptFile = ExpandAppPath(item_->ScriptFile);
    if (FileExists(scriptFile))
        rchEdit->setPlainText(ReadScriptText(scriptFile));
    Edit1->setEnabled(false);
    const bool editable = Mode == EditorMode::Edit;
    for (QWidget* control : std::initializer_list<QWidget*>{Edit2, Edit3, BitBtn3, Edit4, chBox1, rchEdit})
        control->setEnabled(editable);
    if (editable)
        Edit2->setFocus();
}

bool TFormScriptMenuEditor::eventFilter(QObject* watched, QEvent* event)
{
    // Leaving the field, not the window losing its activation or a popup opening over it.
    if (watched == Edit3 && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Guarded([this] { Edit3Exit(); });
    }
    return QDialog::eventFilter(watched, event);
}

void TFormScriptMenuEditor::Edit3Exit()
{
    const QString scriptFile = ExpandAppPath(Edit3->text());
    if (FileExists(scriptFile))
        rchEdit->setPlainText(ReadScriptText(scriptFile));
}

void TFormScriptMenuEditor::BitBtn3Click()
{
    OpenDlg->setWindowTitle(ChooseFileTitle);
    SelectScriptFilter(OpenDlg);
    if (OpenDlg->exec() != QDialog::Accepted || OpenDlg->selectedFiles().isEmpty())
        return;
    const QString chosen = QDir::toNativeSeparators(OpenDlg->selectedFiles().constFirst());
    Edit3->setText(chosen);
    if (FileExists(chosen))
        rchEdit->setPlainText(ReadScriptText(chosen));
}

void TFormScriptMenuEditor::TakeFields(TSubScript& item) const
{
    item.Id = Edit1->text();
    item.Name = Edit2->text();
    item.ScriptFile = Edit3->text();
    item.IdField = Edit4->text();
    item.ShowResult = chBox1->isChecked() ? 1 : 0;
}

bool TFormScriptMenuEditor::FieldsStorable(const MenuFile& file)
{
    if (!FieldsFreeOfDelimiter({{ui->Label1, Edit1}, {ui->Label2, Edit2}, {ui->Label3, Edit3}, {ui->Label4, Edit4}},
                               App->IniDelimiter, this))
        return false;
    TSubScript item;
    TakeFields(item);
    const qsizetype length = file.StoredLength(item);
    if (length <= MenuFile::MaxValueLength)
        return true;
    ShowMessage(MessageType::Error, TooLongMessage.arg(length).arg(MenuFile::MaxValueLength), QMessageBox::Cancel, this);
    return false;
}

void TFormScriptMenuEditor::BitBtn1Click()
{
    // A step that fails leaves the editor open with everything the operator typed; the steps
    // before it stay done.
    MenuFile file(ExpandAppPath(App->MenuFile), App->IniDelimiter);
    switch (Mode) {
    case EditorMode::View:
        break;
    case EditorMode::Add: {
        if (!FieldsStorable(file))
            return;
        if (!item_) {
            menus_.push_back(std::make_unique<TSubScript>());
            item_ = menus_.back().get();
        }
        TakeFields(*item_);
        // An existing file keeps its text.
        const QString scriptFile = ExpandAppPath(item_->ScriptFile);
        if (!FileExists(scriptFile) || (!createdFile_.isEmpty() && SameFile(scriptFile, createdFile_))) {
            WriteScriptText(scriptFile, rchEdit->toPlainText());
            createdFile_ = scriptFile;
        }
        file.Write(section_, menus_);
        break;
    }
    case EditorMode::Edit:
        if (!FieldsStorable(file))
            return;
        TakeFields(*item_);
        WriteScriptText(ExpandAppPath(item_->ScriptFile), rchEdit->toPlainText());
        file.Write(section_, menus_);
        break;
    case EditorMode::Delete:
        // Once the item is out of the list and the file, applying again has nothing to take out.
        if (item_) {
            DeleteItem(file);
            item_ = nullptr;
        }
        break;
    }
    done(mrOk);
}

void TFormScriptMenuEditor::DeleteItem(MenuFile& file)
{
    const auto at = std::find_if(menus_.begin(), menus_.end(), [this](const auto& item) { return item.get() == item_; });
    const auto position = at - menus_.begin();
    const int formerCount = static_cast<int>(menus_.size());
    std::unique_ptr<TSubScript> removed = std::move(*at);
    menus_.erase(at);
    // The shortened list replaces the section in one write; a write that fails leaves the list,
    // the file and the script file as they were.
    try {
        file.Write(section_, menus_, formerCount);
    } catch (...) {
        menus_.insert(menus_.begin() + position, std::move(removed));
        throw;
    }
    DeleteUnusedScriptFile(*removed, file);
}

void TFormScriptMenuEditor::DeleteUnusedScriptFile(const TSubScript& item, const MenuFile& file) const
{
    // Each path once: many items name the same file, and resolving a path costs a look at the disk.
    QSet<QString> named;
    for (const auto& entry : App->Sensors)
        named.insert(entry->ScriptFile);
    // The file holds the shortened list by now, and every other menu.
    for (const QString& path : file.ScriptFiles())
        named.insert(path);
    for (const QString& path : named) {
        if (SameScriptFile(path, item.ScriptFile))
            return;
    }
    // A file that is absent or cannot be deleted is passed over.
    QFile::remove(FileSystemPath(ExpandAppPath(item.ScriptFile)));
}

void TFormScriptMenuEditor::reject()
{
    done(mrCancel);
}
