#include "catalogue/ScriptText.h"

#include "app/Utils.h"
#include "platform/FileSystem.h"
#include "platform/LineFile.h"

#include <QStringList>

QString ReadScriptText(const QString& path)
{
    return ReadLines(path).join(QLatin1Char('\n'));
}

void WriteScriptText(const QString& path, const QString& text)
{
    QStringList lines;
    if (!text.isEmpty()) {
        lines = text.split(QLatin1Char('\n'));
        if (lines.last().isEmpty())
            lines.removeLast();
    }
    WriteLines(path, lines);
}

bool SameScriptFile(const QString& a, const QString& b)
{
    return SameFile(ExpandAppPath(a), ExpandAppPath(b));
}
