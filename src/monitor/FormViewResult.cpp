#include "monitor/FormViewResult.h"
#include "ui_FormViewResult.h"

#include "app/DialogPlacement.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>

namespace {

// The columns of the text line up only in a font of fixed pitch: the design's font when the font
// configuration offers one of fixed pitch under its name, else the system's fixed font.
QFont FixedPitchFont(QFont designed)
{
    designed.setPixelSize(12);
    designed.setStyleHint(QFont::TypeWriter);
    if (QFontInfo(designed).fixedPitch())
        return designed;
    QFont fallback = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fallback.setPixelSize(12);
    return fallback;
}

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
    rchEdit->setFont(FixedPitchFont(rchEdit->font()));
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
