#include "app/Application.h"
#include "app/ServiceClasses.h"
#include "shell/FormMain.h"
#include "shell/ProgramStart.h"
#include "monitor/ExportSpreadsheets.h"
#include "platform/LargeBlocks.h"

int main(int argc, char** argv)
{
    ReturnLargeBlocksAtOnce();
    Application application(argc, argv);
    TFormMain formMain;
    // Without its application object the program cannot work; the error has been reported.
    if (!App)
        return 1;
    formMain.show();
    SetProgramVersion(formMain);
    RemoveExportLeftovers();
    return application.exec();
}
