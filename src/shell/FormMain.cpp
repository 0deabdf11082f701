#include "shell/FormMain.h"
#include "ui_FormMain.h"

#include "app/ActionLog.h"
#include "app/Application.h"
#include "app/Guarded.h"
#include "app/ImageList.h"
#include "app/MessageBox.h"
#include "app/ModalResult.h"
#include "app/ServiceClasses.h"
#include "shell/AboutBox.h"
#include "shell/FormActionLog.h"
#include "shell/FormSettings.h"
#include "shell/HelpWindow.h"
#include "app/Texts.h"
#include "app/WindowState.h"
#include "catalogue/FormScriptList.h"
#include "connection/Connect.h"
#include "connection/FormLogon.h"
#include "monitor/FormMon.h"
#include "monitor/FormRecording.h"
#include "app/Utils.h"
#include "platform/QuillonError.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTableWidget>

TFormMain::TFormMain(QWidget* parent)
    : TFormMain(QCoreApplication::applicationFilePath(), parent)
{
}

TFormMain::TFormMain(const QString& executablePath, QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::FormMain>())
{
    ui->setupUi(this);
    // The form builder keeps only the size of a top-level window; the design position is ours.
    move(362, 160);
    ui->MdiArea->setBackground(palette().brush(QPalette::Dark));

    const std::pair<QAction*, ImageSlot> images[] = {
        {ui->acConnect, ImageSlot::Connect},
        {ui->acExit, ImageSlot::Exit},
        {ui->acScripts, ImageSlot::Scripts},
        {ui->acSettings, ImageSlot::Settings},
        {ui->acHelp, ImageSlot::Help},
        {ui->acAbout, ImageSlot::About},
        {ui->WindowTileHorizontal1, ImageSlot::TileHorizontal},
        {ui->WindowTileVertical1, ImageSlot::TileVertical},
        {ui->WindowCascade1, ImageSlot::Cascade},
    };
    for (const auto& [action, image] : images)
        action->setIcon(ImageListIcon(image));
    for (QAction* action : findChildren<QAction*>())
        action->setShortcutContext(Qt::ApplicationShortcut);
    setWindowIcon(ProgramIcon());

    // Beside the form's own items: the form stays as designed.
    acOpenRecording = new QAction(QStringLiteral("Открыть запись..."), this);
    acOpenRecording->setObjectName(QStringLiteral("acOpenRecording"));
    acOpenRecording->setShortcutContext(Qt::ApplicationShortcut);
    ui->mnMain->insertAction(ui->acConnect, acOpenRecording);
    ui->mnMain->insertAction(acOpenRecording, ui->acConnect);
    acActionLog = new QAction(QStringLiteral("Журнал действий..."), this);
    acActionLog->setObjectName(QStringLiteral("acActionLog"));
    acActionLog->setShortcutContext(Qt::ApplicationShortcut);
    ui->mnMain->insertAction(ui->mnMain->actions().value(ui->mnMain->actions().indexOf(acOpenRecording) + 1), acActionLog);

    ConnectGuarded(ui->acConnect, &QAction::triggered, this, [this] { acConnectExecute(); });
    ConnectGuarded(acOpenRecording, &QAction::triggered, this, [this] { acOpenRecordingExecute(); });
    ConnectGuarded(acActionLog, &QAction::triggered, this, [this] { acActionLogExecute(); });
    ConnectGuarded(ui->acExit, &QAction::triggered, this, [this] { acExitExecute(); });
    ConnectGuarded(ui->acScripts, &QAction::triggered, this, [this] { acScriptsExecute(); });
    ConnectGuarded(ui->acSettings, &QAction::triggered, this, [this] { acSettingsExecute(); });
    ConnectGuarded(ui->acHelp, &QAction::triggered, this, [this] { acHelpExecute(); });
    ConnectGuarded(ui->acAbout, &QAction::triggered, this, [this] { acAboutExecute(); });
    ConnectGuarded(ui->WindowTileHorizontal1, &QAction::triggered, this, [this] { TileChildren(Qt::Vertical); });
    ConnectGuarded(ui->WindowTileVertical1, &QAction::triggered, this, [this] { TileChildren(Qt::Horizontal); });
    ConnectGuarded(ui->WindowCascade1, &QAction::triggered, this, [this] { ui->MdiArea->cascadeSubWindows(); });
    ConnectGuarded(ui->WindowArrange1, &QAction::triggered, this, [this] { WindowArrange1Execute(); });
    ConnectGuarded(ui->WindowMinimizeAll1, &QAction::triggered, this, [this] { WindowMinimizeAll1Execute(); });

    Guarded([&] { FormCreate(executablePath); });
}

TFormMain::~TFormMain()
{
    FormDestroy();
}

QMdiArea* TFormMain::mdiArea() const
{
    return ui->MdiArea;
}

void TFormMain::FormCreate(const QString& executablePath)
{
    Application::setTitle(QStringLiteral("Quillon"));
    setWindowIconText(Application::title());

    // Position of the frame, size of the client area: what is read back is what was written.
    int Left = x();
    int Top = y();
    int Height = height();
    int Width = width();
    int State = WindowStateCode(this);
    App = new TApp(executablePath, Left, Top, Height, Width, State);
    App->LoadSensors();
    move(Left, Top);
    resize(Width, Height);
    ApplyWindowStateCode(this, State);
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    FormDestroy();
    event->accept();
}

void TFormMain::FormDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    // Child windows save their own state at destruction and still need App: newest first.
    const QList<QMdiSubWindow*> children = ui->MdiArea->subWindowList(QMdiArea::CreationOrder);
    for (auto it = children.crbegin(); it != children.crend(); ++it)
        delete *it;
    if (!App)
        return;
    Guarded([this] { App->Destroy(x(), y(), height(), width(), WindowStateCode(this)); });
    delete App;
    App = nullptr;
}

void TFormMain::acConnectExecute()
{
    std::unique_ptr<TConnect> descriptor(new TConnect);
    Connect = descriptor.get();
    int attempts = 0;
    bool connected = false;
    do {
        int result;
        {
            TFormLogon logon(*Connect, this);
            result = logon.exec();
        }
        if (result == mrCancel)
            break;
        if (result == mrOk) {
            TConnect* handed = descriptor.release();
            OpenMonitor(handed);
            connected = true;
        } else if (attempts < 2) {
            ShowMessage(MessageType::Error, Texts::ConnectFailed + QLatin1Char('\r') + Texts::TryAgain,
                        QMessageBox::Ok, this);
        }
        ++attempts;
    } while (!connected && attempts < 3);
    if (!connected && attempts == 3)
        ShowMessage(MessageType::Error, Texts::ConnectFailed + QLatin1Char('\r') + Texts::WorkEnded,
                    QMessageBox::Ok, this);
    Connect = nullptr;
}

void TFormMain::acOpenRecordingExecute()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Открыть запись"),
                                                      ExpandAppPath(QStringLiteral("Recordings")),
                                                      QStringLiteral("Записи (*.qrec);;Все файлы (*)"));
    if (!path.isEmpty())
        OpenRecording(path);
}

void TFormMain::acActionLogExecute()
{
    TFormActionLog* log = nullptr;
    try {
        log = new TFormActionLog(ActionLogPath(), ui->MdiArea);
    } catch (const QuillonError& error) {
        ShowMessage(MessageType::Error, error.message(), QMessageBox::Ok, this);
        return;
    }
    ui->MdiArea->addSubWindow(log);
    log->show();
}

TFormRecording* TFormMain::OpenRecording(const QString& path)
{
    TFormRecording* recording = nullptr;
    try {
        recording = new TFormRecording(path, ui->MdiArea);
    } catch (const QuillonError& error) {
        ShowMessage(MessageType::Error, error.message(), QMessageBox::Ok, this);
        return nullptr;
    }
    ui->MdiArea->addSubWindow(recording);
    recording->show();
    return recording;
}

TFormMon* TFormMain::OpenMonitor(TConnect*& descriptor)
{
    auto* monitor = new TFormMon(descriptor, ui->MdiArea);
    ui->MdiArea->addSubWindow(monitor);
    monitor->show();
    monitor->DBGrid->setFocus();
    return monitor;
}

TFormScriptList* TFormMain::OpenScriptList()
{
    auto* catalogue = new TFormScriptList(ui->MdiArea);
    ui->MdiArea->addSubWindow(catalogue);
    catalogue->show();
    catalogue->strGrid->setFocus();
    return catalogue;
}

void TFormMain::acScriptsExecute()
{
    OpenScriptList();
}

void TFormMain::acSettingsExecute()
{
    TFormSettings settings(ui->MdiArea, this);
    settings.exec();
}

void TFormMain::acExitExecute()
{
    close();
}

void TFormMain::acHelpExecute()
{
    ShowHelpContents(this);
}

void TFormMain::acAboutExecute()
{
    TAboutBox box(this);
    box.setWindowTitle(QStringLiteral("О программе ..."));
    box.exec();
}

void TFormMain::TileChildren(Qt::Orientation stacking)
{
    QList<QMdiSubWindow*> children;
    for (QMdiSubWindow* child : ui->MdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!child->isMinimized() && child->isVisible())
            children.append(child);
    }
    if (children.isEmpty())
        return;
    const QRect area = ui->MdiArea->viewport()->rect();
    const int count = static_cast<int>(children.size());
    for (int i = 0; i < count; ++i) {
        QMdiSubWindow* child = children.at(i);
        child->showNormal();
        if (stacking == Qt::Vertical) {
            const int top = area.height() * i / count;
            child->setGeometry(0, top, area.width(), area.height() * (i + 1) / count - top);
        } else {
            const int left = area.width() * i / count;
            child->setGeometry(left, 0, area.width() * (i + 1) / count - left, area.height());
        }
    }
}

void TFormMain::WindowArrange1Execute()
{
    // Minimized children line up along the bottom of the frame, as icons do.
    int left = 0;
    const int bottom = ui->MdiArea->viewport()->height();
    for (QMdiSubWindow* child : ui->MdiArea->subWindowList()) {
        if (!child->isMinimized())
            continue;
        const QSize size = child->minimumSizeHint();
        child->move(left, bottom - size.height());
        left += size.width();
    }
}

void TFormMain::WindowMinimizeAll1Execute()
{
    for (QMdiSubWindow* child : ui->MdiArea->subWindowList())
        child->showMinimized();
}
