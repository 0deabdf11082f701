// The program side of tst_menu_apply_kill. Started, it prints "ready" and waits for a line on its
// input; then it reads the command menu "WHO" of the program folder as the entry editor would,
// applies one change in the item editor and prints "done".
//   menu_apply_child FOLDER add|edit|delete

#include "MessageRecorder.h"
#include "ProgramApp.h"

#include "app/ModalResult.h"
#include "app/Utils.h"
#include "catalogue/FormScriptMenuEditor.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 3)
        return 2;
    const ProgramApp app = MakeProgramApp(arguments[1] + QStringLiteral("/quillon"));
    MessageRecorder boxes;
    // The first window of a process loads styles and fonts: done before the signal, so that what
    // follows it is the editor's own work.
    {
        SubScriptList none;
        TFormScriptMenuEditor warmUp(EditorMode::Add, none, -1, QStringLiteral("WHO"), nullptr);
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    char go[16];
    if (!std::fgets(go, sizeof go, stdin))
        return 2;

    const QString change = arguments[2];
    const EditorMode mode = change == QStringLiteral("add")    ? EditorMode::Add
                            : change == QStringLiteral("edit") ? EditorMode::Edit
                                                               : EditorMode::Delete;
    SubScriptList menus = MenuFile(ExpandAppPath(App->MenuFile), App->IniDelimiter).Read(QStringLiteral("WHO"));
    TFormScriptMenuEditor editor(mode, menus, mode == EditorMode::Add ? -1 : 0, QStringLiteral("WHO"), nullptr);
    if (mode == EditorMode::Add) {
        editor.Edit1->setText(QStringLiteral("NEW"));
        editor.Edit3->setText(QStringLiteral("Scripts\\new.sql"));
    }
    editor.Edit2->setText(QStringLiteral("Новая команда"));
    editor.BitBtn1->click();
    std::fputs("done\n", stdout);
    std::fflush(stdout);
    return boxes.messages.isEmpty() && editor.result() == mrOk ? 0 : 1;
}
