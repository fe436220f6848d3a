#include "app/Forms.h"
#include "app/TarvelApplication.h"
#include "app/UTarveleFirmWare.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "project/FolderUtils.h"
#include "project/Workspace.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (const std::string reason = platform::missingDesktopReason(argc, argv); !reason.empty()) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 1;
    }
    TarvelApplication application(argc, argv);
    // The other windows are built when first needed.
    const std::string root = workspaceRootFor(platform::executableFolder());
    ForceFolder(root);  // the user's own workspace, once installed
    TFTarveleFirmWare mainWindow(root);
    forms().mainWindow = &mainWindow;
    mainWindow.show();
    return application.exec();
}
