#include "connection/FormLogon.h"
#include "ui_FormLogon.h"

#include "app/DriverWait.h"
#include "app/Guarded.h"
#include "app/ImageList.h"
#include "app/ModalResult.h"
#include "app/Utils.h"
#include "app/WaitCursor.h"
#include "connection/Connect.h"
#include "data/connection/Connection.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <exception>

namespace {

Q_LOGGING_CATEGORY(lcLogon, "quillon.logon")

// The data layer's own login time-out, used where the profile sets none.
constexpr int DefaultLoginTimeout = 15;

const QString DefaultServer = QStringLiteral("localhost");

} // namespace

QString LogonCaption(const QString& version)
{
    return QStringLiteral("Вход в систему - [Версия MDAC: ") + version.left(3) + QStringLiteral("]");
}

QString ConnectionStringValue(const QString& text)
{
    // Typed values go in as they are; only one that would cut the string short or lose its own
    // blanks or quotes is enclosed in double quotes, a quote inside doubled.
    const bool plain = !text.contains(QLatin1Char(';')) && !text.startsWith(QLatin1Char('"'))
        && !text.startsWith(QLatin1Char('\'')) && text.trimmed() == text;
    if (plain)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString WindowsAuthConnectionString(const QString& server)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Data Source=")
        + ConnectionStringValue(server) + QStringLiteral(";Application Name=\"Quillon\"");
}

QString SqlAuthConnectionString(const QString& server, const QString& user)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=") + ConnectionStringValue(server)
        + QStringLiteral(";User ID=") + ConnectionStringValue(user)
        + QStringLiteral(";Replication server name connect option=True") + QStringLiteral(";Application Name=\"Quillon\"");
}

int ProbeLoginTimeout(int profileSeconds)
{
    return profileSeconds > 0 ? profileSeconds : DefaultLoginTimeout;
}

TFormLogon::TFormLogon(TConnect& descriptor, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::FormLogon>())
    , connect_(descriptor)
    , ADOC1(std::make_unique<Connection>())
{
    ui->setupUi(this);
    ui->Image1->setPixmap(ImageListIcon(ImageSlot::Connect).pixmap(32, 32));
    ui->ComboBox1->setEditText(DefaultServer);

    // The boxes follow the buttons' state, however it changes: a click, a key or an assistive tool.
    ConnectGuarded(ui->RadioButton1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioButton1Click();
    });
    ConnectGuarded(ui->RadioButton2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioButton2Click();
    });
    ConnectGuarded(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ConnectGuarded(ui->BitBtn2, &QPushButton::clicked, this, [this] { done(mrCancel); });
    ConnectGuarded(ADOC1.get(), &Connection::afterConnect, this, [this] { ADOC1AfterConnect(); });

    // The dialog sees keys before its controls, and the server box reports losing the focus.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    Guarded([this] { FormCreate(); });
}

TFormLogon::~TFormLogon() = default;

void TFormLogon::FormCreate()
{
    ui->RadioButton1->setChecked(true);
    RadioButton1Click();

    connect_.Sleep = 3;
    connect_.QueryIndex = 0;
    connect_.WindowState = 0;
    QStringList servers;
    bool windowsAuth = true;
    if (LoadServerList(servers)) {
        ui->ComboBox1->clear();
        ui->ComboBox1->addItems(servers);
        LogonChoice choice;
        if (LoadProfile(servers.value(0), connect_, choice)) {
            windowsAuth = choice.WindowsAuth;
            ui->Edit1->setText(choice.LastUser);
        }
    }

    setWindowTitle(LogonCaption(Connection::driverManagerVersion()));
    if (ui->ComboBox1->count() > 0)
        ui->ComboBox1->setCurrentIndex(0);

    if (windowsAuth) {
        ui->ComboBox1->setFocus();
    } else {
        ui->RadioButton2->setChecked(true);
        RadioButton2Click();
        ui->Edit1->setFocus();
    }
}

void TFormLogon::paintUserBoxes(bool enabled)
{
    for (QLineEdit* box : {ui->Edit1, ui->Edit2}) {
        box->setEnabled(enabled);
        QPalette colours = box->palette();
        colours.setColor(QPalette::Disabled, QPalette::Base, palette().color(QPalette::Window));
        box->setPalette(colours);
    }
}

void TFormLogon::RadioButton1Click()
{
    paintUserBoxes(false);
}

void TFormLogon::RadioButton2Click()
{
    paintUserBoxes(true);
}

void TFormLogon::ComboBox1Exit()
{
    PromoteComboText(ui->ComboBox1);
}

bool TFormLogon::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        done(mrCancel);
        return true;
    }
    // The editable server box keeps Return to itself: Enter presses the default button from there
    // too, unless the box's list is open.
    if (event->type() == QEvent::KeyPress && (watched == ui->ComboBox1 || watched == ui->ComboBox1->lineEdit())) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !ui->ComboBox1->view()->isVisible()) {
            ui->BitBtn1->click();
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut && watched == ui->ComboBox1)
        ComboBox1Exit();
    return QDialog::eventFilter(watched, event);
}

void TFormLogon::BitBtn1Click()
{
    PromoteComboText(ui->ComboBox1);
    const QString server = ui->ComboBox1->currentText();
    if (ui->RadioButton2->isChecked()) {
        connect_.ConnectionString = SqlAuthConnectionString(server, ui->Edit1->text());
        connect_.Password = ui->Edit2->text();
        connect_.WindowsAuth = 0;
    } else {
        connect_.ConnectionString = WindowsAuthConnectionString(server);
        connect_.WindowsAuth = 1;
    }
    connect_.Server = server;
    if (connect_.Encrypt)
        connect_.ConnectionString += QStringLiteral(";Use Encryption for Data=True");
    if (connect_.WindowsAuth == 0)
        connect_.ConnectionString += QStringLiteral(";Password=") + ConnectionStringValue(connect_.Password);

    ADOC1->setConnectionTimeout(ProbeLoginTimeout(connect_.ConnectionTimeout));
    ADOC1->setCommandTimeout(connect_.CommandTimeout);
    ADOC1->setConnectionString(connect_.ConnectionString);
    try {
        const WaitCursor cursor;
        // Off the user-interface thread, under a deadline of its own: some drivers wait for a
        // silent server far past their login time-out.
        OpenConnection(*ADOC1, this);
    } catch (const std::exception& error) {
        // The connect action reports the failure; the dialog itself stays silent.
        qCInfo(lcLogon) << "logon to" << server << "failed:" << QString::fromUtf8(error.what());
        setResult(mrNo);
    }
    done(result() == mrOk ? mrOk : mrNo);
}

void TFormLogon::ADOC1AfterConnect()
{
    setResult(mrOk);
}

void TFormLogon::reject()
{
    done(mrCancel);
}

void TFormLogon::done(int result)
{
    if (!closing_) {
        closing_ = true;
        Guarded([this] { FormClose(); });
    }
    QDialog::done(result);
}

void TFormLogon::FormClose()
{
    QStringList servers;
    for (int i = 0; i < ui->ComboBox1->count(); ++i)
        servers << ui->ComboBox1->itemText(i);
    SaveServerList(servers);

    LogonChoice choice;
    choice.WindowsAuth = ui->RadioButton1->isChecked();
    if (choice.WindowsAuth)
        ui->Edit1->clear();
    choice.LastUser = ui->Edit1->text();
    SaveLogonChoice(ui->ComboBox1->currentText(), choice);
}
