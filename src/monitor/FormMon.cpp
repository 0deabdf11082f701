#include "monitor/FormMon.h"
#include "ui_FormMon.h"

#include "app/Application.h"
#include "app/FormMain.h"
#include "app/ImageList.h"
#include "app/ServiceClasses.h"
#include "app/Texts.h"
#include "app/Utils.h"
#include "connection/Connect.h"
#include "connection/ConnectionProfiles.h"
#include "connection/QueryThread.h"
#include "data/Connection.h"
#include "data/DataSetModel.h"
#include "data/Query.h"
#include "data/ToggleTitleSort.h"
#include "monitor/SortMarkerHeader.h"
#include "monitor/StatusIndicator.h"
#include "platform/LineFile.h"
#include "platform/MessageBox.h"
#include "platform/QuillonError.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>

namespace {

QLabel* addPanel(QStatusBar* bar, int width, Qt::Alignment alignment, const QString& text)
{
    auto* panel = new QLabel(text, bar);
    panel->setFixedWidth(width);
    panel->setAlignment(alignment | Qt::AlignVCenter);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    bar->addWidget(panel);
    return panel;
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

    const std::pair<QAction*, int> images[] = {{acStart, 5}, {acSetFilter, 7}, {acExcel, 17}, {acExit, 3}};
    for (const auto& [action, image] : images)
        action->setIcon(ImageListIcon(image));
    for (QAction* action : {acStart, acTimer, acSetFilter, acExcel, acNewExecScript, acExit}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        Body->addAction(action);
    }
    // The filter dialog and the export are not part of this version of the window.
    acSetFilter->setEnabled(false);
    acExcel->setEnabled(false);

    QToolBar* bar = ui->ToolBar1;
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

    auto* popup = new QMenu(Body);
    popup->setObjectName(QStringLiteral("PopupMenu"));
    popup->addAction(acStart);
    popup->addAction(acSetFilter);
    popup->addSeparator();
    popup->addAction(acExit);
    connect(DBGrid, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& at) { popup->popup(DBGrid->viewport()->mapToGlobal(at)); });

    QStatusBar* status = ui->StatusBar;
    panels_ << addPanel(status, 50, Qt::AlignHCenter, QStringLiteral("0"));
    panels_ << addPanel(status, 50, Qt::AlignHCenter, QStringLiteral("0"));
    panels_ << addPanel(status, 50, Qt::AlignHCenter, QString());
    indicator_ = new StatusIndicator([this] { return IndicatorColour(); }, status);
    status->addWidget(indicator_);
    panels_ << nullptr;
    panels_ << addPanel(status, 500, Qt::AlignLeft, QString());

    Query->setObjectName(QStringLiteral("Query"));
    Query->setConnection(ADOC.get());
    Query->setDecimalsAsFloat(true);
    Query->setSql({QStringLiteral("exec sp_Who2")});
    DBGrid->setHorizontalHeader(new SortMarkerHeader(DBGrid));
    model_ = new DataSetModel(Query.get(), this);
    DBGrid->setModel(model_);
    DBGrid->verticalHeader()->setDefaultSectionSize(DBGrid->fontMetrics().height() + 4);

    connect(acStart, &QAction::triggered, this, [this] { Guarded([this] { acStartExecute(); }); });
    connect(acSetFilter, &QAction::triggered, this, [this] { Guarded([this] { acSetFilterExecute(); }); });
    connect(acTimer, &QAction::triggered, this, [this] { acTimerExecute(); });
    connect(acNewExecScript, &QAction::triggered, this, [this] { acNewExecScriptExecute(); });
    connect(acExit, &QAction::triggered, this, [this] { acExitExecute(); });
    connect(cmBox, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { cmBoxChange(); }); });
    connect(UpDown, &QSpinBox::valueChanged, this, [this](int value) { interval_ = static_cast<std::int16_t>(value); });
    connect(Query.get(), &::Query::afterScroll, this, [this] { QueryAfterScroll(); });
    connect(DBGrid->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { Guarded([this, section] { DBGridTitleBtnClick(section); }); });
    connect(DBGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!syncingRow_ && current.isValid())
                    Query->setRecNo(current.row() + 1);
            });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { followCurrentRow(); });
    connect(this, &QMdiSubWindow::aboutToActivate, this, [this] { FormActivate(); });

    ConnectInfo.reset(connectInfo);
    connectInfo = nullptr;
    UpDown->setValue(static_cast<std::int16_t>(ConnectInfo->Sleep));
    resize(ConnectInfo->Width, ConnectInfo->Height);
    ADOC->setConnectionString(ConnectInfo->ConnectionString);
    IndicatorState = 0;
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
    ApplyWindowStateCode(this, ConnectInfo->WindowState);
    FormShow();
}

void TFormMon::FormShow()
{
    ApplyToolBarCaptions(ui->ToolBar1);
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
}

void TFormMon::EndThread()
{
    if (!QueryThread || QueryThread->Ended())
        return;
    QueryThread->MayRun = false;
    QueryThread->requestInterruption();
    // The worker may be waiting for its hand-over on this thread: serve it while waiting.
    while (!QueryThread->Ended()) {
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        QueryThread->wait(QDeadlineTimer(5));
    }
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
        QueryThread.reset();
    }
    SetPanelText(0, QStringLiteral("0"));
    SetPanelText(1, QStringLiteral("0"));
    if (acSetFilter->isChecked())
        acSetFilterExecute();
    IndicatorState = 0;
    acStart->setChecked(Working);
    RepaintStatusBar();
}

void TFormMon::StartWork()
{
    SetPanelText(4, QString());
    try {
        if (!ADOC->connected())
            ADOC->open();
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
    const int index = cmBox->currentIndex();
    if (index >= static_cast<int>(App->Sensors.size()))
        throw QuillonError(QStringLiteral("List index out of bounds (%1)").arg(index));
    Query->setSql(ReadLines(ExpandAppPath(App->Sensors[static_cast<std::size_t>(index)]->ScriptFile)));
    if (Query->sql().isEmpty()) {
        ShowMessage(MessageType::Error, Texts::ScriptLoadError, QMessageBox::Cancel, this);
        return;
    }

    // A thread that ended by itself is gone already; its object goes with the new start.
    QueryThread.reset();
    auto thread = std::make_unique<TQueryThread>(this);
    QueryThread = std::move(thread);
    Working = true;
    QueryThread->Start();
    IndicatorState = 1;
    acStart->setChecked(Working);
    RepaintStatusBar();
}

void TFormMon::cmBoxChange()
{
    if (!QueryThread)
        return;
    Query->setFiltered(false);
    Query->setFilter(QString());
    acSetFilter->setChecked(false);
    SetPanelText(4, QString());
    if (!QueryThread->Ended())
        QueryThread->ScriptChanged = true;
}

void TFormMon::acSetFilterExecute()
{
    // The filter dialog that switches a filter on is not part of this version; a filter that is on
    // can always be switched off.
    const bool on = acSetFilter->isChecked();
    if (!on)
        return;
    Query->setFiltered(false);
    Query->setFilter(QString());
    acSetFilter->setChecked(false);
    SetPanelText(4, QString());
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

void TFormMon::QueryAfterScroll()
{
    if (QueryThread)
        SetPanelText(2, QStringLiteral("%1:%2").arg(Query->recNo()).arg(Query->recordCount()));
    followCurrentRow();
}

void TFormMon::followCurrentRow()
{
    if (!Query->active() || Query->recNo() <= 0)
        return;
    const QModelIndex target = model_->index(Query->recNo() - 1, std::max(DBGrid->currentIndex().column(), 0));
    if (!target.isValid() || target == DBGrid->currentIndex())
        return;
    syncingRow_ = true;
    DBGrid->setCurrentIndex(target);
    syncingRow_ = false;
}

void TFormMon::DBGridTitleBtnClick(int field)
{
    ToggleTitleSort(*Query, field, SortFields);
}

int TFormMon::DBGridGetBtnParams(int field) const
{
    return Query->fieldTag(field) & 0xFF;
}

QString TFormMon::PanelText(int panel) const
{
    return panels_.value(panel) ? panels_.value(panel)->text() : QString();
}

void TFormMon::SetPanelText(int panel, const QString& text)
{
    if (QLabel* label = panels_.value(panel))
        label->setText(text);
}

void TFormMon::RepaintStatusBar()
{
    indicator_->update();
    ui->StatusBar->update();
}

QColor TFormMon::IndicatorColour() const
{
    switch (IndicatorState) {
    case 1: return QColor(0, 255, 0);
    case 2: return QColor(255, 0, 0);
    default: return QColor(0, 128, 0);
    }
}

void TFormMon::CountRefresh()
{
    int n = PanelText(1).toInt();
    if (n == 100000) {
        n = 0;
        SetPanelText(0, QString::number(PanelText(0).toInt() + 1));
    }
    SetPanelText(1, QString::number(n + 1));
}

void TFormMon::ShowPosition()
{
    SetPanelText(2, QStringLiteral("%1:%2").arg(std::max(Query->recNo(), 0)).arg(Query->recordCount()));
}
