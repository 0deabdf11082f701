#pragma once

#include <QString>

class QFileDialog;
class QPlainTextEdit;
class QToolButton;
class QWidget;

// The controls with which both editors show and choose a script file.

// The file dialog "OpenDlg" that chooser opens, with the choices "Все файлы (*.*)" and
// "SQL скрипты (*.sql)". The chooser shows a picture only; screen readers read it as title.
QFileDialog* NewScriptFileDialog(QWidget* owner, QToolButton* chooser, const QString& title);

// Shows the second choice, SQL scripts, when the dialog next opens.
void SelectScriptFilter(QFileDialog* dialog);

// SQL lines up only in a font of fixed pitch.
void SetUpScriptTextBox(QPlainTextEdit* box);
