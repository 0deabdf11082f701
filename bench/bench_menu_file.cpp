// The menu file's cost as the operator meets it: the entry editor opened on a script with many
// commands, the list saved by the item editor's add, edit and delete, and the 128 commands a
// monitor window reads on Start from a section of 10,000 keys. No server is needed.
//   quillon_bench_menu [COMMANDS [RUNS]]     (3,000 commands and 5 runs by default; medians)

#include "MessageRecorder.h"
#include "ProgramApp.h"

#include "catalogue/FormEditScript.h"
#include "catalogue/FormScriptMenuEditor.h"
#include "catalogue/MenuFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

constexpr int StartKeys = 10000;
constexpr int StartLimit = 128;

// A section of count commands, each with a script file of its own, as the item editor writes it.
QByteArray Section(const QByteArray& id, int count)
{
    QByteArray text = '[' + id + "]\r\n";
    for (int k = 0; k < count; ++k) {
        const QByteArray n = QByteArray::number(k);
        text += n + "=Command " + n + ';' + id + n + ";Scripts\\" + id + n + ".sql;spid;1\r\n";
    }
    return text;
}

struct Timing {
    double wall = 0;
    double cpu = 0;
};

// The medians of runs timings of one step, wall and processor; prepare runs before each, untimed.
Timing Median(int runs, const std::function<void()>& prepare, const std::function<void()>& step)
{
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int run = 0; run < runs; ++run) {
        prepare();
        QElapsedTimer clock;
        const std::clock_t cpu = std::clock();
        clock.start();
        step();
        walls.push_back(double(clock.nsecsElapsed()) / 1e6);
        cpus.push_back(double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

void Row(const QByteArray& what, const Timing& timing)
{
    std::printf("| menu file, %s | %.1f ms (cpu %.1f) |\n", what.constData(), timing.wall, timing.cpu);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int commands = std::max(1, application.arguments().value(1, QStringLiteral("3000")).toInt());
    const int runs = std::max(1, application.arguments().value(2, QStringLiteral("5")).toInt());

    ProgramFolder folder;
    folder.write(QStringLiteral("Config/Sensors.ini"), "Processes;WHO;Scripts/who.sql\r\n");
    folder.write(QStringLiteral("Scripts/who.sql"), "select 1\r\n");
    const QByteArray menu = "[OTHER]\r\n0=o;O;Scripts\\o.sql;;0\r\n" + Section("WHO", commands);
    folder.write(QStringLiteral("Config/Large.ini"), Section("BIG", StartKeys));
    const auto restore = [&] {
        folder.write(QStringLiteral("Config/Menus.ini"), menu);
        QFile::remove(folder.file(QStringLiteral("Scripts/new.sql")));
    };
    restore();
    ProgramApp app = MakeProgramApp(folder);
    App->LoadSensors();
    MessageRecorder boxes;
    const MenuFile file(folder.file(QStringLiteral("Config/Menus.ini")), App->IniDelimiter);

    std::printf("| measure | median of %d |\n|---|---|\n", runs);
    const QByteArray of = ", " + QByteArray::number(commands) + " commands";
    Row("section read" + of, Median(runs, restore, [&] { file.Read(QStringLiteral("WHO")); }));
    Row("entry editor opened" + of, Median(runs, restore, [] { TFormEditScript editor(EditorMode::Edit, 0, nullptr); }));

    // The item editor's apply on the entry editor's list, the list read before the clock starts.
    SubScriptList menus;
    std::unique_ptr<TFormScriptMenuEditor> editor;
    const auto open = [&](EditorMode mode) {
        return [&, mode] {
            restore();
            menus = file.Read(QStringLiteral("WHO"));
            editor = std::make_unique<TFormScriptMenuEditor>(mode, menus, mode == EditorMode::Add ? -1 : 0,
                                                             QStringLiteral("WHO"), nullptr);
            if (mode == EditorMode::Add) {
                editor->Edit1->setText(QStringLiteral("NEW"));
                editor->Edit3->setText(QStringLiteral("Scripts\\new.sql"));
            }
            editor->Edit2->setText(QStringLiteral("Новая команда"));
        };
    };
    const auto apply = [&] { editor->BitBtn1->click(); };
    Row("list saved after an add" + of, Median(runs, open(EditorMode::Add), apply));
    Row("list saved after an edit" + of, Median(runs, open(EditorMode::Edit), apply));
    Row("list saved after a delete" + of, Median(runs, open(EditorMode::Delete), apply));
    editor.reset();
    const MenuFile large(folder.file(QStringLiteral("Config/Large.ini")), App->IniDelimiter);
    Row("Start's " + QByteArray::number(StartLimit) + " commands of a section of " + QByteArray::number(StartKeys) + " keys",
        Median(runs, [] {}, [&] { large.Read(QStringLiteral("BIG"), StartLimit); }));
    for (const ShownMessage& message : boxes.messages)
        std::fprintf(stderr, "message: %s\n", qPrintable(message.text));
    return boxes.messages.isEmpty() ? 0 : 1;
}
