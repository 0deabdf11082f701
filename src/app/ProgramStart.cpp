#include "app/ProgramStart.h"

#include "app/FormMain.h"
#include "app/ServiceClasses.h"

void SetProgramVersion(TFormMain& formMain)
{
    App->ProgramVersion = QStringLiteral("1.0.4.0");
    App->ProgramDate = QStringLiteral("21.10.2004");
    formMain.setWindowTitle(QStringLiteral("Quillon ") + App->ProgramVersion);
}
