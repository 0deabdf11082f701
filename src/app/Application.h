#pragma once

#include <QApplication>

// The application object: catches what escapes an event handler and shows it in the general error
// report, then goes on. Also keeps the application title (the text of the program's task-bar entry).
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    static void setTitle(const QString& title);
    static QString title();
};
