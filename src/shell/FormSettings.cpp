#include "shell/FormSettings.h"
#include "ui_FormSettings.h"

#include "app/DialogPlacement.h"
#include "app/Guarded.h"
#include "app/ModalResult.h"
#include "app/ServiceClasses.h"
#include "catalogue/FormScriptList.h"
#include "monitor/FormMon.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMdiArea>
#include <QStyle>

namespace {

const QStringList PathFilters{QStringLiteral("Все файлы (*.*)"), QStringLiteral("Список серверов (*.lst)"),
                              QStringLiteral("Файлы инициализации (*.ini)")};

} // namespace

TFormSettings::TFormSettings(QMdiArea* children, QWidget* owner)
    : QDialog(owner)
    , ui(std::make_unique<Ui::FormSettings>())
    , children_(children)
{
    ui->setupUi(this);
    Edit2 = ui->Edit2;
    BitBtn3 = ui->BitBtn3;
    Edit3 = ui->Edit3;
    BitBtn4 = ui->BitBtn4;
    Edit4 = ui->Edit4;
    BitBtn5 = ui->BitBtn5;
    Edit5 = ui->Edit5;
    BitBtn6 = ui->BitBtn6;
    chBox1 = ui->chBox1;
    BitBtn1 = ui->BitBtn1;
    BitBtn2 = ui->BitBtn2;
    OpenDlg = new QFileDialog(this);
    OpenDlg->setObjectName(QStringLiteral("OpenDlg"));
    OpenDlg->setFileMode(QFileDialog::ExistingFile);
    OpenDlg->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDlg->setNameFilters(PathFilters);

    // The title for the connections file has a Latin "c" after "файл".
    const struct {
        QToolButton* button;
        QString title;
        int filterIndex;
        QLineEdit* field;
    } browsers[] = {
        {BitBtn3, QStringLiteral("Укажите файл со списком серверов ..."), 2, Edit2},
        {BitBtn4, QStringLiteral("Укажите файл c настройками соединений ..."), 3, Edit3},
        {BitBtn5, QStringLiteral("Укажите файл со списком скриптов ..."), 3, Edit4},
        {BitBtn6, QStringLiteral("Укажите файл с настройками меню ..."), 3, Edit5},
    };
    for (const auto& browser : browsers) {
        browser.button->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogOpenButton));
        // The button shows a picture only; screen readers read it as its dialog's title.
        browser.button->setAccessibleName(browser.title);
        ConnectGuarded(browser.button, &QToolButton::clicked, this,
                       [this, browser] { BrowseClick(browser.title, browser.filterIndex, browser.field); });
    }
    ConnectGuarded(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ConnectGuarded(BitBtn2, &QPushButton::clicked, this, [this] { done(mrCancel); });

    FormCreate();
}

TFormSettings::~TFormSettings() = default;

void TFormSettings::FormCreate()
{
    chBox1->setChecked(App->ShowCaptions);
    Edit2->setText(App->ServerList);
    Edit3->setText(App->ConnectionList);
    Edit4->setText(App->SensorsFile);
    Edit5->setText(App->MenuFile);
    OpenDlg->setDirectory(FileSystemPath(App->AppPath + QStringLiteral("Config/")));
    Edit2->setFocus();
}

void TFormSettings::showEvent(QShowEvent* event)
{
    CentreOnMainWindow(this);
    QDialog::showEvent(event);
}

void TFormSettings::BrowseClick(const QString& title, int filterIndex, QLineEdit* field)
{
    OpenDlg->setWindowTitle(title);
    OpenDlg->selectNameFilter(PathFilters.at(filterIndex - 1));
    if (OpenDlg->exec() != QDialog::Accepted || OpenDlg->selectedFiles().isEmpty())
        return;
    field->setText(QDir::toNativeSeparators(OpenDlg->selectedFiles().constFirst()));
}

void TFormSettings::BitBtn1Click()
{
    if (chBox1->isChecked() != App->ShowCaptions) {
        App->ShowCaptions = chBox1->isChecked();
        for (QMdiSubWindow* child : children_->subWindowList()) {
            if (auto* monitor = qobject_cast<TFormMon*>(child))
                monitor->ApplyCaptionSetting();
            else if (auto* catalogue = qobject_cast<TFormScriptList*>(child))
                catalogue->ApplyCaptionSetting();
        }
    }
    App->ServerList = Edit2->text();
    App->ConnectionList = Edit3->text();
    App->SensorsFile = Edit4->text();
    App->MenuFile = Edit5->text();

    // A write that fails leaves the dialog open; App already holds the new values.
    IniFile settings(App->MainSettingsFile());
    settings.WriteBool(QStringLiteral("Window"), QStringLiteral("ShowCaptions"), App->ShowCaptions);
    settings.WriteString(QStringLiteral("Main"), QStringLiteral("ServerList"), App->ServerList);
    settings.WriteString(QStringLiteral("Main"), QStringLiteral("ConnectionList"), App->ConnectionList);
    settings.WriteString(QStringLiteral("Main"), QStringLiteral("SensorsFile"), App->SensorsFile);
    settings.WriteString(QStringLiteral("Main"), QStringLiteral("MenuFile"), App->MenuFile);
    done(mrOk);
}

void TFormSettings::reject()
{
    done(mrCancel);
}
