#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class FormSettings;
}
class QCheckBox;
class QFileDialog;
class QLineEdit;
class QMdiArea;
class QPushButton;
class QToolButton;

// The settings dialog: the four configuration file paths and the tool bar caption switch, kept in
// App and in the main settings file.
class TFormSettings : public QDialog {
    Q_OBJECT
public:
    // children is the main window's frame, whose monitor and catalogue windows follow a change of
    // the caption switch at once.
    TFormSettings(QMdiArea* children, QWidget* owner);
    ~TFormSettings() override;

    void reject() override;

    // Controls by their design names.
    QLineEdit* Edit2;
    QToolButton* BitBtn3;
    QLineEdit* Edit3;
    QToolButton* BitBtn4;
    QLineEdit* Edit4;
    QToolButton* BitBtn5;
    QLineEdit* Edit5;
    QToolButton* BitBtn6;
    QCheckBox* chBox1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QFileDialog* OpenDlg;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    // A browse button: the dialog with the title and the choice given (1 all files, 2 server
    // lists, 3 INI files) puts the chosen file's full path into field.
    void BrowseClick(const QString& title, int filterIndex, QLineEdit* field);
    void BitBtn1Click();

    std::unique_ptr<Ui::FormSettings> ui;
    QMdiArea* children_;
};
