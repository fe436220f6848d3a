#include "app/TarvelApplication.h"
#include "app/UTarveleFirmWare.h"
#include "platform/FileSystem.h"

int main(int argc, char** argv) {
    TarvelApplication application(argc, argv);
    // The other windows are built when first needed.
    TFTarveleFirmWare mainWindow(platform::executableFolder());
    mainWindow.show();
    return application.exec();
}
