#include "catalogue/ScriptControls.h"

#include "app/EvenAdvanceFont.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QStyle>
#include <QToolButton>

namespace {

const QStringList ScriptFilters{QStringLiteral("Все файлы (*.*)"), QStringLiteral("SQL скрипты (*.sql)")};

} // namespace

QFileDialog* NewScriptFileDialog(QWidget* owner, QToolButton* chooser, const QString& title)
{
    auto* dialog = new QFileDialog(owner);
    dialog->setObjectName(QStringLiteral("OpenDlg"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilters(ScriptFilters);
    chooser->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogOpenButton));
    chooser->setAccessibleName(title);
    return dialog;
}

void SelectScriptFilter(QFileDialog* dialog)
{
    dialog->selectNameFilter(ScriptFilters.at(1));
}

void SetUpScriptTextBox(QPlainTextEdit* box)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(box->font().pointSize());
    box->setFont(EvenAdvanceFont(font));
}
