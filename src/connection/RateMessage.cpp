#include "connection/RateMessage.h"

#include "data/history/RateProblems.h"

#include <QStringList>

QString RateProblemsMessage(const RateProblems& problems)
{
    const QString separator = QStringLiteral(", ");
    QStringList parts;
    if (!problems.missingColumns.isEmpty())
        parts << QStringLiteral("Нет столбцов: ") + problems.missingColumns.join(separator);
    if (problems.noKeyColumns)
        parts << QStringLiteral("Не заданы ключевые столбцы: без скорости");
    if (!problems.unusableColumns.isEmpty())
        parts << QStringLiteral("Не число и не текст: ") + problems.unusableColumns.join(separator)
                + QStringLiteral(": без скорости");
    if (problems.repeatedKeyRows > 0)
        parts << QStringLiteral("%1 строк с повторяющимся ключом: без скорости").arg(problems.repeatedKeyRows);
    return parts.join(QStringLiteral("; "));
}

QString MarkProblemsMessage(const QStringList& missingKeyColumns, int repeatedKeyRows)
{
    QStringList parts;
    if (!missingKeyColumns.isEmpty())
        parts << QStringLiteral("Нет ключевых столбцов: %1: строки сравниваются по порядку")
                     .arg(missingKeyColumns.join(QStringLiteral(", ")));
    if (repeatedKeyRows > 0)
        parts << QStringLiteral("%1 строк с повторяющимся ключом: без отметок").arg(repeatedKeyRows);
    return parts.join(QStringLiteral("; "));
}
