#include "shell/HelpWindow.h"

#include "app/Utils.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString ManualBeside(const QString& helpFile)
{
    QString path = FileSystemPath(helpFile);
    path.chop(QFileInfo(path).suffix().size());
    return path + QStringLiteral("html");
}

// The manual in the configuration's folder, else the one installed with the program: an installed
// program keeps its configuration in the user's folder, which has no manual of its own.
QString manualPath()
{
    const QString helpFile = QString::fromLatin1(HelpFile);
    const QString configured = ManualBeside(ExpandAppPath(helpFile));
    if (FileExists(configured))
        return configured;
    return ManualBeside(QCoreApplication::applicationDirPath() + QLatin1Char('/') + helpFile);
}

} // namespace

void ShowHelpContents(QWidget* parent)
{
    static QPointer<QDialog> window;
    const QString path = manualPath();
    if (!FileExists(path))
        return;
    if (!window) {
        window = new QDialog(parent, Qt::Window);
        window->setObjectName(QStringLiteral("HelpWindow"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        // Wide enough for the manual's pictures of the main window.
        window->resize(950, 700);
        auto* browser = new QTextBrowser(window);
        browser->setObjectName(QStringLiteral("HelpBrowser"));
        browser->setOpenExternalLinks(false);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser);
    }
    auto* browser = window->findChild<QTextBrowser*>();
    browser->setSource(QUrl::fromLocalFile(path));
    window->setWindowTitle(browser->documentTitle().isEmpty() ? QStringLiteral("Помощь") : browser->documentTitle());
    window->show();
    window->raise();
    window->activateWindow();
}
