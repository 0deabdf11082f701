#include "monitor/FormFilter.h"
#include "ui_FormFilter.h"

#include "app/Guarded.h"
#include "app/MessageBox.h"
#include "data/records/FieldType.h"
#include "data/Query.h"
#include "monitor/CompletionEnter.h"
#include "monitor/FormMon.h"
#include "monitor/MonitorStatusBar.h"
#include "platform/Collation.h"

#include <QAction>
#include <QCompleter>
#include <QSet>
#include <QStringListModel>

namespace {

// Enough to choose from; a column with more values is typed.
constexpr int MaxOfferedValues = 300;

const QString FilterOnPrefix = QStringLiteral(" Фильтр включен: ");

} // namespace

TFormFilter::TFormFilter(TFormMon& monitor)
    : QDialog(&monitor, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::FormFilter>())
    , monitor_(monitor)
{
    ui->setupUi(this);
    ConnectGuarded(ui->chBox1, &QCheckBox::clicked, this, [this](bool ticked) {
        if (ticked)
            chBox1Click(true);
    });
    ConnectGuarded(ui->chBox2, &QCheckBox::clicked, this, [this](bool ticked) {
        if (ticked)
            chBox1Click(false);
    });
    ConnectGuarded(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ConnectGuarded(ui->BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    ConnectGuarded(ui->BitBtn2, &QPushButton::clicked, this, [this] { reject(); });
    ConnectGuarded(ui->cmBox1, &QComboBox::currentIndexChanged, this, [this] { OfferValues(ui->cmBox1, ui->Edit1); });
    ConnectGuarded(ui->cmBox3, &QComboBox::currentIndexChanged, this, [this] { OfferValues(ui->cmBox3, ui->Edit2); });
    Guarded([this] { FormCreate(); });

    adjustSize();
    // Centred on the main window, whatever the monitor window's place in its frame.
    const QRect main = monitor.window()->frameGeometry();
    move(main.center() - rect().center());
    ui->cmBox1->setFocus();
}

TFormFilter::~TFormFilter() = default;

void TFormFilter::FormCreate()
{
    for (int i = 0; i < ui->cmBox2->count(); ++i)
        ui->cmBox4->addItem(ui->cmBox2->itemText(i));
    const Query& query = *monitor_.Query;
    if (query.active()) {
        QStringList names;
        for (int i = 0; i < query.fieldCount(); ++i)
            names << query.fieldName(i);
        SortTextLocale(names);
        ui->cmBox1->addItems(names);
    }
    for (int i = 0; i < ui->cmBox1->count(); ++i)
        ui->cmBox3->addItem(ui->cmBox1->itemText(i));
    // Every dialog opens empty.
    for (QComboBox* box : {ui->cmBox1, ui->cmBox2, ui->cmBox3, ui->cmBox4})
        box->setCurrentIndex(-1);
}

void TFormFilter::chBox1Click(bool andTicked)
{
    // AND or OR, or neither; never both.
    if (andTicked)
        ui->chBox2->setChecked(false);
    else
        ui->chBox1->setChecked(false);
}

void TFormFilter::BitBtn3Click()
{
    ui->Edit1->clear();
    ui->Edit2->clear();
    for (QComboBox* box : {ui->cmBox1, ui->cmBox2, ui->cmBox3, ui->cmBox4})
        box->setCurrentIndex(-1);
    ui->chBox1->setChecked(false);
    ui->chBox2->setChecked(false);
}

QString TFormFilter::Condition(const QString& field, const QString& op, const QString& value) const
{
    const Query& query = *monitor_.Query;
    const int index = query.fieldIndex(field);
    const bool quoted = index >= 0 && IsQuotedFieldType(query.fieldType(index));
    return u'[' + field + QStringLiteral("] ") + op
        + (quoted ? QStringLiteral(" '") + value + u'\'' : QLatin1Char(' ') + value);
}

void TFormFilter::BitBtn1Click()
{
    Query& query = *monitor_.Query;
    const auto showPosition = [&] {
        if (query.active())
            monitor_.StatusBar->ShowPosition(std::max(query.recNo(), 0), query.recordCount());
    };
    try {
        const bool firstComplete = ui->cmBox1->currentIndex() >= 0 && ui->cmBox2->currentIndex() >= 0
            && !ui->Edit1->text().isEmpty();
        if (!firstComplete) {
            monitor_.SwitchFilterOff();
            showPosition();
            accept();
            return;
        }
        query.setFiltered(false);
        QString text = Condition(ui->cmBox1->currentText(), ui->cmBox2->currentText(), ui->Edit1->text());
        const bool secondChosen = ui->cmBox3->currentIndex() >= 0 && ui->cmBox4->currentIndex() >= 0;
        const QString second = secondChosen
            ? Condition(ui->cmBox3->currentText(), ui->cmBox4->currentText(), ui->Edit2->text())
            : QString();
        if (ui->chBox1->isChecked() && secondChosen)
            text += QStringLiteral(" AND ") + second;
        if (ui->chBox2->isChecked() && secondChosen)
            text += QStringLiteral(" OR ") + second;
        query.setFilter(text);
        query.setFiltered(true);
        monitor_.StatusBar->SetPanelText(StatusPanel::Message, FilterOnPrefix + text);
        monitor_.acSetFilter->setChecked(true);
        showPosition();
        accept();
    } catch (const std::exception&) {
        // The dialog stays open with its inputs; the data set keeps the text with its switch off.
        ShowMessage(MessageType::Error, QStringLiteral("Ошибка вклчения фильтра.\rФильтр отключен."),
                    QMessageBox::Ok, this);
    }
}

void TFormFilter::OfferValues(QComboBox* fields, QLineEdit* value)
{
    const Query& query = *monitor_.Query;
    const int column = query.active() ? query.fieldIndex(fields->currentText()) : -1;
    QStringList values;
    if (column >= 0) {
        QSet<QString> seen;
        for (int row = 0; row < query.viewRowCount() && values.size() < MaxOfferedValues; ++row) {
            const QString text = query.displayText(row, column);
            if (!text.isEmpty() && !seen.contains(text)) {
                seen.insert(text);
                values << text;
            }
        }
        SortTextLocale(values);
    }
    auto* completer = new QCompleter(values, value);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    // One Enter applies what the box shows, chosen from the list or typed.
    PassEnterOnAfterCompletion(completer, [this] { ui->BitBtn1->click(); });
    delete value->completer();
    value->setCompleter(completer);
}
