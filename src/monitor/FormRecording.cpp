#include "monitor/FormRecording.h"

#include "app/Guarded.h"
#include "data/display/DataSetModel.h"
#include "data/history/RecordingFile.h"
#include "data/view/RecordView.h"
#include "data/view/ToggleTitleSort.h"
#include "monitor/ChangeMarkDelegate.h"
#include "monitor/GridColumnWidths.h"
#include "monitor/GridCopy.h"
#include "monitor/HistoryBar.h"
#include "monitor/SortMarkerHeader.h"
#include "monitor/WindowHistory.h"
#include "platform/FileSystem.h"

#include <QAction>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTableView>
#include <limits>

namespace {

QString Clock(qint64 time)
{
    return QDateTime::fromMSecsSinceEpoch(time).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

} // namespace

TFormRecording::TFormRecording(const QString& path, QWidget* parent)
    : QMdiSubWindow(parent), Records(std::make_unique<RecordView>())
{
    const RecordingReader reader(path);
    const RecordingHeader& header = reader.header();

    auto* body = new QMainWindow;
    setWidget(body);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("FormRecording"));
    setWindowTitle(QStringLiteral("Запись: %1 - %2").arg(header.server, header.scriptName));
    resize(848, 638);

    DBGrid = new QTableView(body);
    DBGrid->setObjectName(QStringLiteral("DBGrid"));
    DBGrid->setHorizontalHeader(new SortMarkerHeader(DBGrid));
    DBGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid->verticalHeader()->setDefaultSectionSize(DBGrid->fontMetrics().height() + 4);
    body->setCentralWidget(DBGrid);
    Records->setObjectName(QStringLiteral("Records"));
    model_ = new DataSetModel(Records.get(), this);
    DBGrid->setModel(model_);
    columnWidths_ = std::make_unique<GridColumnWidths>(DBGrid);
    ConnectGuarded(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { columnWidths_->Remember(); });
    ConnectGuarded(model_, &QAbstractItemModel::modelReset, this, [this] { columnWidths_->Apply(); });
    markDelegate_ = new ChangeMarkDelegate(DBGrid);
    DBGrid->setItemDelegate(markDelegate_);

    HistoryControls = new HistoryBar(false, body);
    body->addToolBar(Qt::TopToolBarArea, HistoryControls);
    // The history bar is all this window has to act with: never folded away.
    body->setMinimumWidth(HistoryControls->sizeHint().width());
    History = new WindowHistory(*Records, *HistoryControls, *markDelegate_, *DBGrid, false, this);
    // A recording is kept whole, however long it ran.
    History->SetScript(header.keyColumns, std::numeric_limits<int>::max() / 60000, std::numeric_limits<int>::max() / 2048);
    for (int i = 0; i < reader.frameCount(); ++i)
        History->Keep(reader.frame(i));

    About = new QLabel(body);
    About->setObjectName(QStringLiteral("About"));
    const qint64 first = reader.frameCount() > 0 ? History->History().time(0) : header.started;
    const qint64 last = reader.frameCount() > 0 ? History->History().time(History->History().size() - 1) : header.started;
    About->setText(QStringLiteral(" %1: %2 обновлений, %3 - %4")
                       .arg(DisplayPath(path))
                       .arg(reader.frameCount())
                       .arg(Clock(first), Clock(last)));
    body->statusBar()->addWidget(About, 1);

    acCopy = new QAction(QStringLiteral("Копировать"), this);
    acCopy->setObjectName(QStringLiteral("acCopy"));
    acCopy->setShortcut(QKeySequence::Copy);
    acCopy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    DBGrid->addAction(acCopy);
    ConnectGuarded(acCopy, &QAction::triggered, this, [this] { acCopyExecute(); });
    ConnectGuarded(DBGrid->horizontalHeader(), &QHeaderView::sectionClicked, this,
                   [this](int section) { DBGridTitleBtnClick(section); });
}

void TFormRecording::showEvent(QShowEvent* event)
{
    QMdiSubWindow::showEvent(event);
    // The first refresh comes once the grid has its size: its columns are sized to it.
    if (!shown_ && History->History().size() > 0)
        History->ShowFrame(0);
    shown_ = true;
}

TFormRecording::~TFormRecording()
{
    DBGrid->setModel(nullptr);
}

void TFormRecording::acCopyExecute()
{
    CopyGridToClipboard(*DBGrid);
}

void TFormRecording::DBGridTitleBtnClick(int field)
{
    ToggleTitleSort(*Records, field, sortFields_);
}
