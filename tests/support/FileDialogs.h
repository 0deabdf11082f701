#pragma once

// Answering the widget-based file dialog from a test.

#include <QFileDialog>
#include <QLineEdit>

// Chooses path as a user typing it into the name field would. QFileDialog::selectFile leaves that
// field alone while it has the focus and selects in the view only once the folder is read, so
// right after the dialog opens it may choose nothing.
inline void ChooseFile(QFileDialog* dialog, const QString& path)
{
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
    static_cast<QDialog*>(dialog)->accept();
}
