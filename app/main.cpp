#include "app/ProgramWindows.h"
#include "app/TarvelApplication.h"
#include "platform/FileSystem.h"

int main(int argc, char** argv) {
    TarvelApplication application(argc, argv);
    ProgramWindows windows(platform::executableFolder());
    windows.mainWindow.show();
    return application.exec();
}
