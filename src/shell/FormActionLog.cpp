#include "shell/FormActionLog.h"

#include "platform/FileSystem.h"
#include "platform/QuillonError.h"

#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>

TFormActionLog::TFormActionLog(const QString& path, QWidget* parent) : QMdiSubWindow(parent)
{
    setObjectName(QStringLiteral("FormActionLog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Журнал действий"));
    QFile file(FileSystemPath(path));
    QString text;
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            throw FileError(QStringLiteral("Cannot open file %1").arg(DisplayPath(path)));
        text = QString::fromUtf8(file.readAll());
    }
    Lines = new QPlainTextEdit(this);
    Lines->setObjectName(QStringLiteral("Lines"));
    Lines->setReadOnly(true);
    Lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    Lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Lines->setPlaceholderText(QStringLiteral("Команды ещё не выполнялись: ") + DisplayPath(path));
    Lines->setPlainText(text);
    Lines->moveCursor(QTextCursor::End);
    Lines->ensureCursorVisible();
    setWidget(Lines);
    resize(760, 360);
}
