#include "shell/AboutBox.h"
#include "ui_AboutBox.h"

#include "app/Guarded.h"
#include "app/ImageList.h"
#include "app/ServiceClasses.h"

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::AboutBox>())
{
    ui->setupUi(this);
    setFixedSize(298, 213);
    ui->ProgramIcon->setPixmap(ProgramIcon().pixmap(32, 32));
    ui->ProductName->setText(QStringLiteral("Product Name: Quillon"));
    ui->Version->setText(QStringLiteral("Version: ") + App->ProgramVersion);
    ui->DateVersion->setText(QStringLiteral("Date: ") + App->ProgramDate);
    ConnectGuarded(ui->OKButton, &QPushButton::clicked, this, [this] { accept(); });
    // Both notices read from their first character, not scrolled to their end.
    ui->Edit1->setCursorPosition(0);
    ui->Edit2->setCursorPosition(0);
    ui->OKButton->setFocus();
}

TAboutBox::~TAboutBox() = default;
