#include "monitor/CostText.h"

#include "connection/RefreshCost.h"

#include <QStringList>
#include <cmath>

namespace {

const QString Separator = QStringLiteral(" · ");

QString Seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000, 'f', 2).replace(u'.', u',') + QStringLiteral(" с");
}

// The share of the interval spent waiting for the server, in per cent; none for a single run.
QString Share(const RefreshCost& cost)
{
    if (cost.intervalSeconds <= 0)
        return {};
    return QString::number(std::llround(double(cost.durationMs) / (cost.intervalSeconds * 10.0))) + u'%';
}

} // namespace

QString CostPanelText(const RefreshCost& cost)
{
    QStringList parts{Seconds(cost.durationMs)};
    if (const QString share = Share(cost); !share.isEmpty())
        parts << share;
    if (cost.server.cpuMs)
        parts << QStringLiteral("ЦП %1 мс").arg(*cost.server.cpuMs);
    if (cost.server.executionMs)
        parts << QStringLiteral("исп. %1 мс").arg(*cost.server.executionMs);
    if (cost.server.reads)
        parts << QStringLiteral("чт. %1").arg(*cost.server.reads);
    if (cost.stretchedSeconds > 0)
        parts << QStringLiteral("раз в %1 с").arg(cost.stretchedSeconds);
    return parts.join(Separator);
}

QString CostToolTip(const RefreshCost& cost)
{
    QStringList lines{QStringLiteral("Цена последнего обновления для сервера:"),
                      QStringLiteral("выполнение скрипта %1 (от отправки до последней строки)").arg(Seconds(cost.durationMs))};
    if (const QString share = Share(cost); !share.isEmpty())
        lines << QStringLiteral("%1 интервала (%2 с) окно ждёт сервер").arg(share).arg(cost.intervalSeconds);
    if (cost.server.cpuMs)
        lines << QStringLiteral("время ЦП сеанса монитора: %1 мс").arg(*cost.server.cpuMs);
    if (cost.server.executionMs)
        lines << QStringLiteral("время исполнения запроса на сервере: %1 мс").arg(*cost.server.executionMs);
    if (cost.server.reads)
        lines << QStringLiteral("чтений страниц: %1").arg(*cost.server.reads);
    if (cost.stretchedSeconds > 0)
        lines << QStringLiteral("скрипт выполняется дольше половины интервала: обновление раз в %1 с").arg(cost.stretchedSeconds);
    return lines.join(u'\n');
}
