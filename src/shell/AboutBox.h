#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class AboutBox;
}

// Product name, version and date.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

private:
    std::unique_ptr<Ui::AboutBox> ui;
};
