#include "monitor/FormMon.h"
#include "ui_FormMon.h"

#include "app/Application.h"
#include "app/DriverWait.h"
#include "app/Guarded.h"
#include "app/ImageList.h"
#include "app/MessageBox.h"
#include "app/OptionsFile.h"
#include "app/PopupAccessibility.h"
#include "app/ServiceClasses.h"
#include "app/Texts.h"
#include "app/Utils.h"
#include "app/WindowState.h"
#include "catalogue/MenuFile.h"
#include "connection/Connect.h"
#include "connection/ConnectionProfiles.h"
#include "connection/QueryThread.h"
#include "data/connection/Connection.h"
#include "data/history/RowIdentity.h"
#include "data/DataErrors.h"
#include "data/display/DataSetModel.h"
#include "data/Query.h"
#include "data/history/RecordingFile.h"
#include "data/records/RecordSet.h"
#include "data/view/ToggleTitleSort.h"
#include "monitor/BlockingTree.h"
#include "monitor/ChangeMarkDelegate.h"
#include "monitor/CommandLog.h"
#include "monitor/CommandRun.h"
#include "monitor/DangerousCommand.h"
#include "monitor/DesktopNotifier.h"
#include "monitor/ExcelExport.h"
#include "monitor/ExportSpreadsheets.h"
#include "monitor/FormFilter.h"
#include "monitor/FormViewResult.h"
#include "monitor/GridColumnWidths.h"
#include "monitor/GridCopy.h"
#include "monitor/HistoryBar.h"
#include "monitor/MarkSubstitution.h"
#include "monitor/MonitorStatusBar.h"
#include "monitor/ResultText.h"
#include "monitor/RuleEventList.h"
#include "monitor/SortMarkerHeader.h"
#include "monitor/ToolBarFolding.h"
#include "monitor/WindowHistory.h"
#include "platform/FileSystem.h"
#include "platform/LineFile.h"
#include "platform/QuillonError.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {

// Keys "0" to "127" of a menu section: the window's command menu holds no more.
constexpr int CommandMenuLimit = 128;

const QString OptionsReadError = QStringLiteral("Ошибка чтения файла параметров скриптов: ");

const QString NoDataWarning =
    QStringLiteral("Запрос не возвращает данных, проверте настройки скрипта данного пункта меню.");

const QString PastRowQuestion = QStringLiteral(
    "Строка показана из прошлого (%1): команда выполнится над тем, что есть на сервере сейчас. Выполнить?");
const QString VanishedRowQuestion = QStringLiteral(
    "Этой строки нет в последнем обновлении: команда выполнится над тем, что есть на сервере сейчас. Выполнить?");
const QString RecordingStarted = QStringLiteral("Запись: ");
const QString RecordingStopped = QStringLiteral("Запись остановлена: ");

// A file name of its own for each recording: the script and the second it began.
QString RecordingFileName(const QString& scriptId)
{
    QString name = scriptId;
    for (QChar& c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    }
    return name + QDateTime::currentDateTime().toString(QStringLiteral("-yyyyMMdd-HHmmss")) + QStringLiteral(".qrec");
}

// The stamp of the command's connection warning: milliseconds, then a single blank.
QString CommandTimeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz "));
}

void setInfoTipBackground(QWidget* widget)
{
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::Button, colours.color(QPalette::ToolTipBase));
    widget->setPalette(colours);
}

} // namespace

TFormMon::TFormMon(TConnect*& connectInfo, QWidget* parent)
    : QMdiSubWindow(parent)
    , ADOC(std::make_unique<Connection>())
    , Query(std::make_unique<::Query>())
    , ui(std::make_unique<Ui::FormMon>())
{
    Body = new QMainWindow;
    ui->setupUi(Body);
    setWidget(Body);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("FormMon"));
    resize(848, 638);

    DBGrid = ui->DBGrid;
    acStart = ui->acStart;
    acTimer = ui->acTimer;
    acSetFilter = ui->acSetFilter;
    acExcel = ui->acExcel;
    acNewExecScript = ui->acNewExecScript;
    acExit = ui->acExit;

    const std::pair<QAction*, ImageSlot> images[] = {
        {acStart, ImageSlot::Start},
        {acSetFilter, ImageSlot::Filter},
        {acExcel, ImageSlot::Spreadsheet},
        {acExit, ImageSlot::Exit},
    };
    for (const auto& [action, image] : images)
        action->setIcon(ImageListIcon(image));
    for (QAction* action : {acStart, acTimer, acSetFilter, acExcel, acNewExecScript, acExit}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        Body->addAction(action);
    }

    QToolBar* bar = ui->ToolBar1;
    toolBarFolding_ = new ToolBarFolding(bar);
    bar->widgetForAction(acStart)->setObjectName(QStringLiteral("tbWork"));
    for (QAction* action : {acStart, acSetFilter, acExcel, acExit})
        bar->widgetForAction(action)->setMinimumWidth(67);
    bar->insertWidget(acSetFilter, new QLabel(QStringLiteral("Обновление (сек.) "), bar));
    UpDown = new QSpinBox(bar);
    UpDown->setObjectName(QStringLiteral("UpDown"));
    UpDown->setRange(0, 1800);
    UpDown->setWrapping(false);
    UpDown->setValue(0);
    UpDown->findChild<QLineEdit*>()->setObjectName(QStringLiteral("Edit1"));
    UpDown->setToolTip(QStringLiteral("Частота обновления списка (Alt+T)"));
    setInfoTipBackground(UpDown);
    bar->insertWidget(acSetFilter, UpDown);
    bar->insertSeparator(acSetFilter);
    bar->insertWidget(acSetFilter, new QLabel(QStringLiteral("Скрипт"), bar));
    cmBox = new QComboBox(bar);
    cmBox->setObjectName(QStringLiteral("cmBox"));
    cmBox->setFixedWidth(145);
    cmBox->setToolTip(QStringLiteral("Указать иной скрипт (Alt+N)"));
    setInfoTipBackground(cmBox);
    bar->insertWidget(acSetFilter, cmBox);
    bar->insertSeparator(acSetFilter);

    PopupMenu = new QMenu(Body);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    PopupMenu->addAction(acStart);
    PopupMenu->addAction(acSetFilter);
    PopupMenu->addSeparator();
    PopupMenu->addAction(acExit);
    acCopy = new QAction(QStringLiteral("Копировать"), this);
    acCopy->setObjectName(QStringLiteral("acCopy"));
    acCopy->setShortcut(QKeySequence::Copy);
    acCopy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    DBGrid->addAction(acCopy);
    PopupMenu->addSeparator();
    PopupMenu->addAction(acCopy);
    ExposePopup(PopupMenu);

    OpenDialog = new QFileDialog(this, QStringLiteral("Укажите шаблон"));
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setNameFilters({QStringLiteral("Шаблон выгрузки в Excel (*.xlt *.xltx *.ots)"),
                                QStringLiteral("Все файлы (*.*)")});
    OpenDialog->setDefaultSuffix(QStringLiteral("xlt"));

    StatusBar = new MonitorStatusBar(
        [this](QPainter& painter, const QRect& rect) { StatusBarDrawPanel(painter, rect); }, Body);
    Body->setStatusBar(StatusBar);

    Query->setObjectName(QStringLiteral("Query"));
    Query->setConnection(ADOC.get());
    Query->setDecimalsAsFloat(true);
    Query->setSql({QStringLiteral("exec sp_Who2")});
    DBGrid->setHorizontalHeader(new SortMarkerHeader(DBGrid));
    model_ = new DataSetModel(Query.get(), this);
    DBGrid->setModel(model_);
    DBGrid->verticalHeader()->setDefaultSectionSize(DBGrid->fontMetrics().height() + 4);
    columnWidths_ = std::make_unique<GridColumnWidths>(DBGrid);
    markDelegate_ = new ChangeMarkDelegate(DBGrid);
    DBGrid->setItemDelegate(markDelegate_);
    HistoryControls = new HistoryBar(true, Body);
    Body->addToolBarBreak();
    Body->addToolBar(Qt::TopToolBarArea, HistoryControls);
    History = new WindowHistory(*Query, *HistoryControls, *markDelegate_, *DBGrid, true, this);
    ConnectGuarded(History, &WindowHistory::shownChanged, this, [this] { ShowPosition(); });
    ConnectGuarded(HistoryControls->acRecord, &QAction::toggled, this, [this](bool on) { acRecordExecute(on); });
    Blocking = new BlockingTree(*Query, Body);
    Blocking->Install(*Body, *HistoryControls->acBlocking, *PopupMenu);
    ruleEvents_ = new RuleEventList(this);
    notifier_ = new DesktopNotifier(this);
    connect(HistoryControls->acEvents, &QAction::toggled, ruleEvents_, &QWidget::setVisible);
    connect(ruleEvents_, &RuleEventList::closed, HistoryControls->acEvents, [this] { HistoryControls->acEvents->setChecked(false); });

    ConnectGuarded(acStart, &QAction::triggered, this, [this] { acStartExecute(); });
    ConnectGuarded(acSetFilter, &QAction::triggered, this, [this] { acSetFilterExecute(); });
    ConnectGuarded(acExcel, &QAction::triggered, this, [this] { acExcelExecute(); });
    ConnectGuarded(acTimer, &QAction::triggered, this, [this] { acTimerExecute(); });
    ConnectGuarded(acNewExecScript, &QAction::triggered, this, [this] { acNewExecScriptExecute(); });
    ConnectGuarded(acExit, &QAction::triggered, this, [this] { acExitExecute(); });
    ConnectGuarded(acCopy, &QAction::triggered, this, [this] { acCopyExecute(); });
    ConnectGuarded(cmBox, &QComboBox::currentIndexChanged, this, [this] { cmBoxChange(); });
    ConnectGuarded(UpDown, &QSpinBox::valueChanged, this,
                   [this](int value) { interval_ = static_cast<std::int16_t>(value); });
    ConnectGuarded(Query.get(), &::Query::afterScroll, this, [this] { QueryAfterScroll(); });
    // The worker sorts each result before its hand-over in the order the window has at that time.
    ConnectGuarded(Query.get(), &::Query::sortChanged, this, [this] {
        if (QueryThread && !QueryThread->Ended())
            QueryThread->FollowSort(Query->sort());
    });
    ConnectGuarded(DBGrid->horizontalHeader(), &QHeaderView::sectionClicked, this,
                   [this](int section) { DBGridTitleBtnClick(section); });
    ConnectGuarded(DBGrid, &QWidget::customContextMenuRequested, this,
                   [this](const QPoint& at) { PopupMenu->popup(DBGrid->viewport()->mapToGlobal(at)); });
    ConnectGuarded(DBGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                   [this](const QModelIndex& current) {
                       if (!syncingRow_ && current.isValid())
                           Query->setRecNo(current.row() + 1);
                   });
    ConnectGuarded(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        KeepScrollPosition();
        columnWidths_->Remember();
    });
    ConnectGuarded(model_, &QAbstractItemModel::modelReset, this, [this] {
        columnWidths_->Apply();
        FollowCurrentRow();
        RestoreScrollPosition();
    });
    ConnectGuarded(this, &QMdiSubWindow::aboutToActivate, this, [this] { FormActivate(); });

    ConnectInfo.reset(connectInfo);
    connectInfo = nullptr;
    UpDown->setValue(static_cast<std::int16_t>(ConnectInfo->Sleep));
    resize(ConnectInfo->Width, ConnectInfo->Height);
    ADOC->setConnectionString(ConnectInfo->ConnectionString);
    IndicatorState = Indicator::Green;
    Working = false;
    setWindowTitle(ConnectInfo->Server);
    SortFields.clear();

    const QSignalBlocker quiet(cmBox);
    cmBox->clear();
    for (const auto& sensor : App->Sensors)
        cmBox->addItem(sensor->Name);
    if (ConnectInfo->QueryIndex >= 0 && ConnectInfo->QueryIndex < cmBox->count()) {
        cmBox->setCurrentIndex(ConnectInfo->QueryIndex);
    } else {
        ConnectInfo->QueryIndex = -1;
        cmBox->setCurrentIndex(-1);
    }
}

TFormMon::~TFormMon()
{
    FormDestroy();
    DBGrid->setModel(nullptr);
}

void TFormMon::showEvent(QShowEvent* event)
{
    QMdiSubWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    // The frame places a new window before it is first shown: one wider or taller than the frame
    // may land partly left of or above it, its Start button out of reach.
    if (x() < 0 || y() < 0)
        move(std::max(x(), 0), std::max(y(), 0));
    ApplyWindowStateCode(this, ConnectInfo->WindowState);
    FormShow();
}

void TFormMon::FormShow()
{
    ApplyCaptionSetting();
}

void TFormMon::ApplyCaptionSetting()
{
    ApplyToolBarCaptions(ui->ToolBar1);
    // A window narrower than its tool bar, as when the frame tiles several side by side, folds the
    // last controls behind the bar's extension button, where they stay in reach. The frame keeps the
    // body's sizes from the former tool bar until the body says they changed; dragging the frame goes
    // by them.
    toolBarFolding_->Update();
    Body->updateGeometry();
    setMinimumSize(minimumSizeHint());
}

void TFormMon::FormActivate()
{
    Application::setTitle(QStringLiteral("Quillon - ") + ConnectInfo->Server);
}

void TFormMon::closeEvent(QCloseEvent* event)
{
    SortFields.clear();
    QMdiSubWindow::closeEvent(event);
}

void TFormMon::FormDestroy()
{
    if (QueryThread) {
        Working = false;
        EndThread();
    }
    Guarded([this] {
        MonitorPlacement placement;
        placement.Sleep = static_cast<std::int16_t>(UpDown->value());
        placement.Height = height();
        placement.Width = width();
        placement.WindowState = WindowStateCode(this);
        placement.QueryIndex = cmBox->currentIndex();
        SaveMonitorProfile(*ConnectInfo, placement);
    });
    DropWorker();
}

void TFormMon::EndThread()
{
    // A stop that waited for a driver stuck on a silent server would freeze every window.
    constexpr std::chrono::milliseconds StopGrace{2000};
    if (QueryThread && !QueryThread->Finish(StopGrace))
        DropWorker();
}

void TFormMon::DropWorker()
{
    if (!QueryThread)
        return;
    if (QueryThread->Ended()) {
        QueryThread.reset();
        return;
    }
    QueryThread->Detach();
    QueryThread.release()->ReleaseWhenFinished();
}

void TFormMon::acStartExecute()
{
    // The action toggled itself on the click; the state it had is what decides.
    const bool on = !acStart->isChecked();
    acStart->setChecked(on);
    if (on || cmBox->count() == 0)
        Stop();
    else
        StartWork();
}

void TFormMon::Stop()
{
    if (QueryThread) {
        Working = false;
        EndThread();
        DropWorker();
    }
    StatusBar->ResetCounter();
    if (acSetFilter->isChecked())
        SwitchFilterOff();
    IndicatorState = Indicator::Green;
    acStart->setChecked(Working);
    StatusBar->Repaint();
}

void TFormMon::StartWork()
{
    SetMessage(QString());
    try {
        // The driver learns of a server gone away only when it next talks to it: a connection that
        // cannot make a round trip counts as not connected. Both calls run off this thread, so that
        // a silent server cannot freeze the program.
        if (ADOC->connected()) {
            try {
                WaitForDriver(ADOC->checkTask(), ConnectDeadline(*ADOC), this);
            } catch (const QuillonError&) {
                ADOC->abandon();
            }
        }
        if (!ADOC->connected())
            OpenConnection(*ADOC, this);
        Query->close();
    } catch (const QuillonError&) {
        ADOC->close();
        ShowMessage(MessageType::Warning,
                    TimeStamp() + QLatin1Char('\r') + Texts::ServerSentencePrefix + ConnectInfo->Server
                        + Texts::ServerSentenceSuffix,
                    QMessageBox::Cancel, this);
        return;
    }
    Query->sql().clear();
    if (cmBox->currentIndex() < 0) {
        const QSignalBlocker quiet(cmBox);
        cmBox->setCurrentIndex(0);
    }
    Query->setSql(ReadLines(ScriptFileAt(cmBox->currentIndex())));
    if (Query->sql().isEmpty()) {
        ShowMessage(MessageType::Error, Texts::ScriptLoadError, QMessageBox::Cancel, this);
        return;
    }
    if (ScriptMenuItems.empty())
        BuildUserMenu();

    // A worker that ended by itself is gone already; its object goes with the new start.
    DropWorker();
    QueryThread = std::make_unique<TQueryThread>(static_cast<MonitorPort&>(*this), App->SleepInterval, PassDeadline{},
                                                 [this](Connection& connection) { OpenConnection(connection, this); });
    Working = true;
    QueryThread->Start();
    IndicatorState = Indicator::Lime;
    acStart->setChecked(Working);
    StatusBar->Repaint();
}

QString TFormMon::ScriptFileAt(int index) const
{
    return ExpandAppPath(SensorAt(index).ScriptFile);
}

const TSensor& TFormMon::SensorAt(int index) const
{
    if (index < 0 || index >= static_cast<int>(App->Sensors.size()))
        throw QuillonError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return *App->Sensors[static_cast<std::size_t>(index)];
}

void TFormMon::cmBoxChange()
{
    if (!QueryThread)
        return;
    RemoveUserMenu();
    // A menu that cannot be read must not keep the worker on the previous script: the change is
    // made whole before its error is reported.
    std::exception_ptr menuError;
    try {
        BuildUserMenu();
    } catch (...) {
        menuError = std::current_exception();
    }
    SwitchFilterOff();
    if (recorder_)
        StopRecording(RecordingStopped + DisplayPath(recorder_->path()));
    if (!QueryThread->Ended())
        QueryThread->ScriptChanged = true;
    if (menuError)
        std::rethrow_exception(menuError);
}

void TFormMon::BuildUserMenu()
{
    const MenuFile menus(ExpandAppPath(App->MenuFile), App->IniDelimiter);
    const SubScriptList entries = menus.Read(SensorAt(cmBox->currentIndex()).Id, CommandMenuLimit);
    for (const auto& entry : entries) {
        auto item = std::make_unique<TScriptMenuItem>();
        item->Caption = entry->Name;
        item->CommandId = entry->Id;
        item->CommandFile = entry->ScriptFile;
        item->IdField = entry->IdField;
        item->ShowResult = entry->ShowResult;
        ScriptMenuItems.push_back(std::move(item));
    }
    if (ScriptMenuItems.empty())
        return;
    QAction* const firstStandard = PopupMenu->actions().value(0);
    for (const auto& item : ScriptMenuItems) {
        auto* command = new QAction(item->Caption, this);
        ConnectGuarded(command, &QAction::triggered, this, [this, command] { UserMenuOnClick(command); });
        PopupMenu->insertAction(firstStandard, command);
    }
    PopupMenu->insertSeparator(firstStandard);
}

void TFormMon::RemoveUserMenu()
{
    const QList<QAction*> items = PopupMenu->actions();
    const qsizetype n = static_cast<qsizetype>(ScriptMenuItems.size());
    for (qsizetype i = 0; i < (n > 0 ? n + 1 : 0); ++i)
        delete items[i];
    ScriptMenuItems.clear();
}

QString TFormMon::RowValue(const QString& field) const
{
    if (Query->fieldIndex(field) >= 0 && Query->recNo() == 0)
        return QString();
    return Query->fieldTextByName(field);
}

void TFormMon::UserMenuOnClick(QAction* sender)
{
    const qsizetype position = PopupMenu->actions().indexOf(sender);
    if (position < 0 || position >= static_cast<qsizetype>(ScriptMenuItems.size()))
        return;
    const TScriptMenuItem& item = *ScriptMenuItems[static_cast<std::size_t>(position)];
    CommandLog log(ConnectInfo->Server, ActionLogin(ConnectInfo->ConnectionString), item.Caption, this);
    try {
        RunUserCommand(item, log);
    } catch (const QuillonError& error) {
        log.Failed(error.message());
        throw;
    }
}

void TFormMon::RunUserCommand(const TScriptMenuItem& item, CommandLog& log)
{
    const QString scriptFile = ExpandAppPath(item.CommandFile);
    const bool showResult = (item.ShowResult & 0xFF) != 0;
    const QString idField = item.IdField;

    // A row of an earlier refresh may name a session that has ended or been reused since.
    if (Query->recNo() > 0) {
        const bool vanished = Query->marks().row(Query->bookmark().row) == RowChange::Vanished;
        if (History->ShowingPast() || vanished) {
            const QString question = History->ShowingPast()
                ? PastRowQuestion.arg(QDateTime::fromMSecsSinceEpoch(History->ShownTime()).toString(QStringLiteral("HH:mm:ss")))
                : VanishedRowQuestion;
            if (ShowMessage(MessageType::Confirmation, question, QMessageBox::Yes | QMessageBox::No, this)
                != QMessageBox::Yes) {
                log.Cancelled();
                return;
            }
        }
    }

    if (!ADOC->connected()) {
        try {
            OpenConnection(*ADOC, this);
        } catch (const QuillonError& error) {
            ADOC->close();
            log.Failed(error.message());
            ShowMessage(MessageType::Warning,
                        CommandTimeStamp() + QLatin1Char('\r') + Texts::ServerSentencePrefix + ConnectInfo->Server
                            + Texts::ServerSentenceSuffix,
                        QMessageBox::Cancel, this);
            return;
        }
    }

    ::Query command;
    command.setConnection(ADOC.get());
    command.setSql(ReadLines(scriptFile));
    // The value is read once, before anything runs: the current row cannot change under the
    // substitution, also while a hand-over is served during a long command.
    QString value;
    if (!idField.isEmpty() && !command.sql().isEmpty()) {
        const QString mark = QLatin1Char('%') + idField + QLatin1Char('%');
        value = RowValue(idField);
        if (!SubstituteMark(command.sql(), mark, value, ADOC->syntax())) {
            const QString refusal = QStringLiteral("Значение поля %1 не может быть подставлено в команду.").arg(idField);
            log.Refused(refusal);
            ShowMessage(MessageType::Error, refusal, QMessageBox::Cancel, this);
            return;
        }
    }
    if (command.sql().isEmpty()) {
        log.Failed(Texts::ScriptLoadError);
        ShowMessage(MessageType::Error, Texts::ScriptLoadError, QMessageBox::Cancel, this);
        return;
    }
    log.SetCommand(command.sql().join(QLatin1Char('\n')));
    if (!SafeToRun(item, command.sql(), value, log))
        return;

    try {
        if (!OpenCommandQuery(command, this)) {
            log.Cancelled();
            return;
        }
    } catch (const DataError&) {
        log.Done();
        // Also the statement that returns no result set: the usual end of a command that changes
        // something, and a fault only where rows are expected.
        if (showResult)
            ShowMessage(MessageType::Warning, NoDataWarning, QMessageBox::Cancel, this);
        return;
    }
    log.Done();
    if (!showResult)
        return;

    TFormViewResult form(this);
    if (command.recordCount() > 0)
        form.rchEdit->setPlainText(ResultTextLines(command).join(QLatin1Char('\n')));
    QLabel* count = form.Panels[1];
    count->setText(QString::number(command.recordCount()) + QLatin1Char(' ') + count->text());
    form.rchEdit->moveCursor(QTextCursor::Start);
    form.exec();
}

bool TFormMon::SafeToRun(const TScriptMenuItem& item, const QStringList& sql, const QString& value, CommandLog& log)
{
    const ScriptOptions options = SelectedScriptOptions();
    // Also dangerous by the options the script started with: an options file that cannot be read
    // for a moment must not let a kill through unchecked.
    if (!options.dangerousCommands.contains(item.CommandId, Qt::CaseInsensitive)
        && !startedDangerous_.contains(item.CommandId, Qt::CaseInsensitive))
        return true;
    DangerousCommand command;
    command.caption = item.Caption;
    command.text = sql.join(QLatin1Char('\r'));
    command.idField = item.IdField;
    command.idValue = value;
    const QStringList keys = options.keyColumns.isEmpty() ? historyKeys_ : options.keyColumns;
    command.keyColumns = keys.isEmpty() ? QStringList{item.IdField} : keys;
    command.keyColumns.removeAll(QString());
    command.row = CurrentRowIdentity(*Query, command.keyColumns);
    command.checkSql = ReadLines(options.checkScript.isEmpty() ? SelectedScriptFile() : ExpandAppPath(options.checkScript));
    command.decimalsAsFloat = Query->decimalsAsFloat();
    if (!item.IdField.isEmpty()
        && !SubstituteMark(command.checkSql, QLatin1Char('%') + item.IdField + QLatin1Char('%'), value, ADOC->syntax()))
        command.checkSql.clear();
    const qint64 worker = QueryThread && !QueryThread->Ended() ? QueryThread->SessionId() : 0;
    const CommandVerdict verdict = VetDangerousCommand(command, *ADOC, worker, this);
    if (verdict.kind == CommandVerdict::Kind::Cancelled)
        log.Cancelled();
    if (verdict.kind != CommandVerdict::Kind::Refused)
        return verdict.kind == CommandVerdict::Kind::Run;
    log.Refused(verdict.reason);
    ShowMessage(MessageType::Warning, QStringLiteral("Команда «%1» не выполнена: %2.").arg(item.Caption, verdict.reason),
                QMessageBox::Ok, this);
    return false;
}

void TFormMon::ScriptStarts(const ScriptOptions& options)
{
    const QString script = SensorAt(cmBox->currentIndex()).Id;
    // A restart of the same script with the same keys adds to what the window has kept of it.
    if (script != historyScript_ || options.keyColumns != historyKeys_)
        History->SetScript(options.keyColumns, options.keptMinutes(), options.keptMegabytes());
    historyScript_ = script;
    historyKeys_ = options.keyColumns;
    startedDangerous_ = options.dangerousCommands;
    Blocking->SetColumns({options.keyColumns.value(0), options.blockedByColumn, options.waitColumn});
}

Tracking TFormMon::TrackingWanted() const
{
    return Tracking{History->Marking(), History->Baseline(), recorder_};
}

bool TFormMon::KeepRefresh(HistoryFrame frame)
{
    return History->Keep(std::move(frame));
}

void TFormMon::RecordingFailed(const QString& message)
{
    StopRecording(message);
}

void TFormMon::BlockingBuilt(std::shared_ptr<const BlockingForest> forest)
{
    Blocking->Take(std::move(forest));
}

void TFormMon::RulesStarted(const QList<RuleEvent>& events)
{
    for (const RuleEvent& event : events)
        ruleEvents_->append(event);
    notifier_->notify(windowTitle(), events);
}

void TFormMon::StopRecording(const QString& message)
{
    recorder_.reset();
    const QSignalBlocker quiet(HistoryControls->acRecord);
    HistoryControls->acRecord->setChecked(false);
    SetMessage(QLatin1Char(' ') + TimeStamp() + message);
}

void TFormMon::acRecordExecute(bool on)
{
    if (!on) {
        if (recorder_)
            StopRecording(RecordingStopped + DisplayPath(recorder_->path()));
        return;
    }
    try {
        const int index = std::max(cmBox->currentIndex(), 0);
        const TSensor& sensor = SensorAt(index);
        const QString optionsFile = ExpandAppPath(App->OptionsFile);
        const ScriptOptions options = ReadScriptOptions(optionsFile, sensor.Id);
        RecordingHeader header;
        header.server = ConnectInfo->Server;
        header.scriptName = sensor.Name;
        header.scriptId = sensor.Id;
        header.scriptText = ReadLines(ScriptFileAt(index)).join(QLatin1Char('\n'));
        header.keyColumns = options.keyColumns;
        header.cumulativeColumns = options.cumulativeColumns;
        header.started = QDateTime::currentMSecsSinceEpoch();
        const QString folder = ExpandAppPath(QStringLiteral("Recordings"));
        QDir().mkpath(FileSystemPath(folder));
        recorder_ = std::make_shared<RecordingWriter>(folder + QLatin1Char('/') + RecordingFileName(sensor.Id), header);
    } catch (const QuillonError& error) {
        const QSignalBlocker quiet(HistoryControls->acRecord);
        HistoryControls->acRecord->setChecked(false);
        ShowMessage(MessageType::Error, error.message(), QMessageBox::Cancel, this);
        return;
    }
    SetMessage(QLatin1Char(' ') + TimeStamp() + RecordingStarted + DisplayPath(recorder_->path()));
}

void TFormMon::SwitchFilterOff()
{
    Query->setFiltered(false);
    Query->setFilter(QString());
    acSetFilter->setChecked(false);
    SetMessage(QString());
}

void TFormMon::acSetFilterExecute()
{
    // The action toggled itself on the click; the state it had is what decides. A filter that is
    // on goes off at once; otherwise the dialog may switch one on.
    const bool on = !acSetFilter->isChecked();
    acSetFilter->setChecked(on);
    if (on) {
        SwitchFilterOff();
        return;
    }
    TFormFilter dialog(*this);
    dialog.exec();
}

void TFormMon::acExcelExecute()
{
    ExportSource source;
    source.connection = ADOC.get();
    source.query = Query.get();
    source.caption = windowTitle();
    source.server = ConnectInfo->Server;
    source.templateDir = ConnectInfo->TemplateDir;
    source.openDialog = OpenDialog;
    source.window = this;
    ExcelExport(source, ExportSpreadsheets()).Run();
}

void TFormMon::acTimerExecute()
{
    UpDown->setFocus();
    UpDown->selectAll();
}

void TFormMon::acNewExecScriptExecute()
{
    cmBox->setFocus();
}

void TFormMon::acExitExecute()
{
    close();
}

void TFormMon::acCopyExecute()
{
    CopyGridToClipboard(*DBGrid);
}

void TFormMon::QueryAfterScroll()
{
    if (QueryThread)
        StatusBar->ShowPosition(Query->recNo(), Query->recordCount());
    FollowCurrentRow();
}

void TFormMon::FollowCurrentRow()
{
    if (!Query->active() || Query->recNo() <= 0)
        return;
    const QModelIndex target = model_->index(Query->recNo() - 1, std::max(DBGrid->currentIndex().column(), 0));
    if (!target.isValid() || target == DBGrid->currentIndex())
        return;
    // The grid marks the data set's row without scrolling to it: the view stays where the operator
    // scrolled it.
    syncingRow_ = true;
    const bool autoScroll = DBGrid->hasAutoScroll();
    DBGrid->setAutoScroll(false);
    DBGrid->setCurrentIndex(target);
    DBGrid->setAutoScroll(autoScroll);
    syncingRow_ = false;
}

void TFormMon::KeepScrollPosition()
{
    scrollPosition_ = QPoint(DBGrid->horizontalScrollBar()->value(), DBGrid->verticalScrollBar()->value());
}

void TFormMon::RestoreScrollPosition()
{
    // The scroll ranges follow the new rows only once the grid has laid them out; a shorter result
    // brings the view up as far as it must.
    DBGrid->doItemsLayout();
    DBGrid->horizontalScrollBar()->setValue(scrollPosition_.x());
    DBGrid->verticalScrollBar()->setValue(scrollPosition_.y());
}

void TFormMon::DBGridTitleBtnClick(int field)
{
    ToggleTitleSort(*Query, field, SortFields);
}

SortMarker TFormMon::DBGridGetBtnParams(int field) const
{
    return SortMarkerOf(Query->fieldTag(field));
}

void TFormMon::StatusBarDrawPanel(QPainter& painter, const QRect& rect) const
{
    painter.fillRect(rect, IndicatorColour(IndicatorState));
}

void TFormMon::SetIndicator(Indicator state)
{
    IndicatorState = state;
    StatusBar->Repaint();
}

QString TFormMon::SelectedScriptFile() const
{
    return ScriptFileAt(cmBox->currentIndex());
}

ScriptOptions TFormMon::SelectedScriptOptions() const
{
    const QString file = ExpandAppPath(App->OptionsFile);
    // The options file reads as empty when it cannot be opened; the operator learns why the
    // script's rates are gone.
    QFile probe(FileSystemPath(file));
    if (probe.exists() && !probe.open(QIODevice::ReadOnly)) {
        StatusBar->SetPanelText(StatusPanel::Message, QLatin1Char(' ') + TimeStamp() + OptionsReadError + DisplayPath(file));
        return {};
    }
    return ReadScriptOptions(file, SensorAt(cmBox->currentIndex()).Id);
}

void TFormMon::CountRefresh()
{
    ShowRowsGreyed(false);
    StatusBar->CountRefresh();
}

void TFormMon::ResetCounter()
{
    StatusBar->ResetCounter();
}

void TFormMon::ShowPosition()
{
    StatusBar->ShowPosition(std::max(Query->recNo(), 0), Query->recordCount());
}

void TFormMon::ShowCost(const RefreshCost& cost)
{
    StatusBar->ShowCost(cost);
}

void TFormMon::SetMessage(const QString& text)
{
    StatusBar->SetPanelText(StatusPanel::Message, text);
}

void TFormMon::ShowRowsGreyed(bool greyed)
{
    if (greyed == rowsGreyed_)
        return;
    rowsGreyed_ = greyed;
    QPalette palette = DBGrid->palette();
    const QPalette inherited = DBGrid->parentWidget()->palette();
    // The current row too: the highlight is often all an operator looks at.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        for (const QPalette::ColorRole role : {QPalette::Text, QPalette::Highlight, QPalette::HighlightedText})
            palette.setColor(group, role, inherited.color(greyed ? QPalette::Disabled : group, role));
    }
    DBGrid->setPalette(palette);
}

void TFormMon::DropSort()
{
    SortFields.clear();
}

void TFormMon::SetWorking(bool working)
{
    Working = working;
    acStart->setChecked(Working);
}
