#include "app/Application.h"
#include "app/Guarded.h"

#include "app/MessageBox.h"
#include "app/PopupAccessibility.h"
#include "platform/QuillonError.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

namespace {

QString& storedTitle()
{
    static QString title;
    return title;
}

} // namespace

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv)
{
    InstallPopupAccessibility();
    // Qt's own texts (standard buttons, file dialogs) in the program's language, where Qt's
    // translations are installed.
    auto* qtTexts = new QTranslator(this);
    if (qtTexts->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qtTexts);
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentException();
        return false;
    }
}

void Application::setTitle(const QString& title)
{
    storedTitle() = title;
    // The task bar shows the main window's icon text where the window system has one.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("FormMain"))
            widget->setWindowIconText(title);
    }
}

QString Application::title()
{
    return storedTitle();
}

void ReportCurrentException()
{
    try {
        throw;
    } catch (const QuillonError& error) {
        ShowErrorReport(error.message());
    } catch (const std::exception& error) {
        ShowErrorReport(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowErrorReport(QStringLiteral("Unknown error"));
    }
}
