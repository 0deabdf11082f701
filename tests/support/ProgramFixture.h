#pragma once

// A test's program: its folder, optionally its application object, the message boxes it shows
// (recorded, answered for the user) and a driver for the modal dialogs it opens. Made in init()
// and dropped in cleanup(), so that nothing of one test reaches the next.

#include "MessageRecorder.h"
#include "ModalDriver.h"
#include "ProgramApp.h"
#include "ProgramFolder.h"
#include "ScopedEnvironment.h"

#include <QDir>
#include <QList>
#include <QTest>

// A catalogue entry: identifier, title (the identifier unless given) and the script in
// Scripts\<identifier>.sql.
struct CatalogueEntry {
    CatalogueEntry(QString id, QByteArray sql) : id(id), title(std::move(id)), sql(std::move(sql)) {}
    CatalogueEntry(QString id, QString title, QByteArray sql) : id(std::move(id)), title(std::move(title)), sql(std::move(sql)) {}

    QString id;
    QString title;
    QByteArray sql;
};

class ProgramFixture {
public:
    // answer: what the user answers the message boxes with; settings: Config/quillon.ini, none if empty.
    explicit ProgramFixture(QMessageBox::StandardButton answer = QMessageBox::Ok, const QByteArray& settings = {})
        : ProgramFixture(MessageRecorder::Answer([answer](const ShownMessage&) { return answer; }), settings)
    {
    }
    explicit ProgramFixture(MessageRecorder::Answer answer, const QByteArray& settings = {}) : boxes(std::move(answer))
    {
        if (!settings.isEmpty())
            folder.write(QStringLiteral("Config/quillon.ini"), settings);
    }

    // The application object of the folder, as the program makes it at its start.
    TApp* startApp()
    {
        app = MakeProgramApp(folder);
        return app.get();
    }

    // Writes Config/Sensors.ini and the entries' scripts; a running application object reloads it.
    void writeCatalogue(const QList<CatalogueEntry>& entries)
    {
        QByteArray catalogue;
        for (const CatalogueEntry& entry : entries) {
            catalogue += entry.id.toUtf8() + ";" + entry.title.toUtf8() + ";Scripts\\" + entry.id.toUtf8() + ".sql\r\n";
            folder.write(QStringLiteral("Scripts/") + entry.id + QStringLiteral(".sql"), entry.sql);
        }
        folder.write(QStringLiteral("Config/Sensors.ini"), catalogue);
        if (app)
            app->LoadSensors();
    }

    // The modal dialogs the test meant to act on all appeared.
    void verifyModals() const { QVERIFY2(modals.failures.isEmpty(), qPrintable(modals.failures.join(u'\n'))); }

    ProgramFolder folder;
    // The per-user folder (the action log's) inside the test's folder.
    ScopedEnvironment userData{{"XDG_DATA_HOME", folder.file(QStringLiteral("user")).toUtf8()}};
    MessageRecorder boxes;
    // Goes before the recorder: what it shows on its way out is recorded too.
    ProgramApp app;
    // Parent of a test's own timers and recorders: they go with the fixture.
    QObject scope;
    ModalDriver modals{&scope};
};
