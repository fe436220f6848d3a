#include "app/TarvelApplication.h"
#include "app/UAbout2.h"
#include "app/UTarveleFirmWare.h"
#include "app/Unewp.h"
#include "documents/USetVar.h"
#include "documents/Upargen.h"
#include "platform/FileSystem.h"
#include "platform/SerialApi.h"
#include "update/UBootSer.h"

int main(int argc, char** argv) {
    TarvelApplication application(argc, argv);

    // The windows are made once, in this order, and live until the end.
    TFTarveleFirmWare mainWindow(platform::executableFolder());
    TFsaveproj newProjectDialog(&mainWindow);
    TFpargen generalParameterDialog(&mainWindow);
    TFSetVar translateTable;
    TFAbout2 aboutBox(&mainWindow);
    TFBootSer serialUpdateWizard(platform::systemSerialApi(), &mainWindow);

    mainWindow.show();
    return application.exec();
}
