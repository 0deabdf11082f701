#include "shell/ProgramStart.h"

#include "app/ServiceClasses.h"
#include "shell/FormMain.h"
#include "shell/Version.h"

void SetProgramVersion(TFormMain& formMain)
{
    App->ProgramVersion = QString::fromLatin1(ProgramVersionText);
    App->ProgramDate = QString::fromLatin1(ProgramDateText);
    formMain.setWindowTitle(QStringLiteral("Quillon ") + App->ProgramVersion);
}
