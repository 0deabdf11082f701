#include "catalogue/FormScriptList.h"
#include "ui_FormScriptList.h"

#include "app/Guarded.h"
#include "app/ServiceClasses.h"
#include "app/Utils.h"
#include "catalogue/EditorMode.h"
#include "catalogue/EntryCommands.h"
#include "catalogue/EntryGrid.h"
#include "catalogue/FormEditScript.h"

#include <QLineEdit>
#include <QMenu>
#include <QShowEvent>

TFormScriptList::TFormScriptList(QWidget* parent)
    : QMdiSubWindow(parent)
    , ui(std::make_unique<Ui::FormScriptList>())
{
    Body = new QMainWindow;
    ui->setupUi(Body);
    setWidget(Body);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("FormScriptList"));
    setWindowTitle(Body->windowTitle());
    resize(Body->size());

    ToolBar1 = ui->ToolBar1;
    strGrid = ui->strGrid;
    acIns = ui->acIns;
    acView = ui->acView;
    acEdit = ui->acEdit;
    acDel = ui->acDel;
    acExit = ui->acExit;
    PopupMenu = SetUpEntryCommands({acIns, acView, acEdit, acDel, acExit}, Body);

    for (QAction* command : {acIns, acView, acEdit, acDel})
        ConnectGuarded(command, &QAction::triggered, this, [this, command] { acInsExecute(command); });
    ConnectGuarded(acExit, &QAction::triggered, this, [this] { acExitExecute(); });
    ConnectGuarded(strGrid, &QTableWidget::cellDoubleClicked, this, [this] { acInsExecute(strGrid); });
    ConnectGuarded(strGrid, &QWidget::customContextMenuRequested, this,
                   [this](const QPoint& at) { PopupMenu->popup(strGrid->viewport()->mapToGlobal(at)); });
    strGrid->installEventFilter(this);

    FormCreate();
}

TFormScriptList::~TFormScriptList() = default;

void TFormScriptList::FormCreate()
{
    SetUpEntryGrid(strGrid);
    FillEntryGrid(strGrid, App->Sensors);
    FormResize();
    SelectEntryRow(strGrid, 1);
}

void TFormScriptList::showEvent(QShowEvent* event)
{
    QMdiSubWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        // A frame smaller than the window places it partly left of or above itself.
        if (x() < 0 || y() < 0)
            move(std::max(x(), 0), std::max(y(), 0));
    }
    FormShow();
}

void TFormScriptList::FormShow()
{
    ApplyCaptionSetting();
}

void TFormScriptList::ApplyCaptionSetting()
{
    ApplyToolBarCaptions(ToolBar1);
    // The frame keeps the body's sizes from the former tool bar until the body says they changed;
    // dragging the frame goes by them.
    Body->updateGeometry();
    setMinimumSize(minimumSizeHint());
}

bool TFormScriptList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == strGrid && event->type() == QEvent::Resize)
        Guarded([this] { FormResize(); });
    return QMdiSubWindow::eventFilter(watched, event);
}

void TFormScriptList::FormResize()
{
    LayOutEntryColumns(strGrid);
}

void TFormScriptList::acInsExecute(const QObject* Sender)
{
    const int selected = strGrid->currentRow();
    const QTableWidgetItem* cell = strGrid->item(selected, 1);
    QString id = cell ? cell->text() : QString();
    const EditorMode mode = ModeOfSender(Sender->objectName());
    // Nothing to show for an empty catalogue, nor for a row that another catalogue window has
    // deleted since this grid was filled.
    const int index = selected - 1;
    if (mode != EditorMode::Add && (index < 0 || index >= static_cast<int>(App->Sensors.size())))
        return;
    {
        TFormEditScript editor(mode, index, this);
        editor.exec();
        if (mode == EditorMode::Add)
            id = editor.Edit1->text();
    }
    // The editor has reloaded the catalogue, sorted: the entry worked on is found by identifier.
    int row = strGrid->currentRow();
    FillEntryGrid(strGrid, App->Sensors);
    FormResize();
    row = std::min(row, strGrid->rowCount() - 1);
    if (const int found = FindEntryRow(strGrid, id, false); found > 0)
        row = found;
    SelectEntryRow(strGrid, row);
}

void TFormScriptList::acExitExecute()
{
    close();
}
