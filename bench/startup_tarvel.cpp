// Tarvel's start-up, as its main() does it, ending at the main window's first
// exposure: startup_tarvel <workspace>
#include "FirstExposure.h"
#include "app/TarvelApplication.h"
#include "app/UTarveleFirmWare.h"

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    TarvelApplication application(argc, argv);
    TFTarveleFirmWare mainWindow(argv[1]);
    const QuitAtFirstExposure quit(mainWindow);
    mainWindow.show();
    return application.exec();
}
