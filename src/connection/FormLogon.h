#pragma once

#include "connection/ConnectionProfiles.h"

#include <QDialog>
#include <memory>

namespace Ui {
class FormLogon;
}
class Connection;
class TConnect;

// The logon dialog: chooses server and authentication, proves the connection string with a
// connection of its own and fills the descriptor. Results: mrOk connected, mrCancel left, mrNo failed.
class TFormLogon : public QDialog {
    Q_OBJECT
public:
    TFormLogon(TConnect& descriptor, QWidget* parent = nullptr);
    ~TFormLogon() override;

    void done(int result) override;
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void RadioButton1Click();
    void RadioButton2Click();
    void ComboBox1Exit();
    void BitBtn1Click();
    void ADOC1AfterConnect();
    void paintUserBoxes(bool enabled);

    std::unique_ptr<Ui::FormLogon> ui;
    TConnect& connect_;
    std::unique_ptr<Connection> ADOC1;
    bool closing_ = false;
};

// "Вход в систему - [Версия MDAC: " + the first three characters of the version + "]".
QString LogonCaption(const QString& version);

// A value as the connection string carries it: as typed, or quoted when it would break the string.
QString ConnectionStringValue(const QString& text);

// The connection strings the logon builds for the two kinds of login, before the password is added.
QString WindowsAuthConnectionString(const QString& server);
QString SqlAuthConnectionString(const QString& server, const QString& user);

// The probe's login time-out: a profile's 0 would wait for ever on a server that never answers.
int ProbeLoginTimeout(int profileSeconds);
