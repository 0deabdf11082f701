#include "app/shell/ProgramStart.h"

#include "app/ServiceClasses.h"
#include "app/shell/FormMain.h"
#include "app/shell/Version.h"

void SetProgramVersion(TFormMain& formMain)
{
    App->ProgramVersion = QString::fromLatin1(ProgramVersionText);
    App->ProgramDate = QString::fromLatin1(ProgramDateText);
    formMain.setWindowTitle(QStringLiteral("Quillon ") + App->ProgramVersion);
}
