#include "monitor/FormViewResult.h"
#include "ui_FormViewResult.h"

#include "app/DialogPlacement.h"
#include "app/EvenAdvanceFont.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>

namespace {

QLabel* AddPanel(QStatusBar* bar, int width, Qt::Alignment alignment, const QString& text)
{
    auto* panel = new QLabel(text, bar);
    panel->setFixedWidth(width);
    panel->setAlignment(alignment | Qt::AlignVCenter);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    bar->addWidget(panel);
    return panel;
}

} // namespace

TFormViewResult::TFormViewResult(QWidget* owner)
    : QDialog(owner)
    , ui(std::make_unique<Ui::FormViewResult>())
{
    ui->setupUi(this);
    rchEdit = ui->rchEdit;
    StatusBar1 = ui->StatusBar1;
    // The columns of the text line up only in a font whose characters all take the same room.
    QFont designed = rchEdit->font();
    designed.setPixelSize(12);
    designed.setStyleHint(QFont::TypeWriter);
    rchEdit->setFont(EvenAdvanceFont(designed));
    Panels << AddPanel(StatusBar1, 50, Qt::AlignLeft, QString());
    Panels << AddPanel(StatusBar1, 100, Qt::AlignHCenter, QStringLiteral("записей"));
    Panels << AddPanel(StatusBar1, 50, Qt::AlignLeft, QString());
    rchEdit->installEventFilter(this);
}

TFormViewResult::~TFormViewResult() = default;

bool TFormViewResult::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && FormKeyDown(static_cast<const QKeyEvent&>(*event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TFormViewResult::keyPressEvent(QKeyEvent* event)
{
    if (!FormKeyDown(*event))
        QDialog::keyPressEvent(event);
}

bool TFormViewResult::FormKeyDown(const QKeyEvent& key)
{
    if (key.key() != Qt::Key_Escape)
        return false;
    close();
    return true;
}

void TFormViewResult::showEvent(QShowEvent* event)
{
    // Shown before the window is mapped: placed here, it never appears elsewhere first.
    CentreOnMainWindow(this);
    QDialog::showEvent(event);
}
