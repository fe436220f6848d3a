#pragma once

#include <string>

#include "app/UAbout2.h"
#include "app/UTarveleFirmWare.h"
#include "app/Unewp.h"
#include "documents/USetVar.h"
#include "documents/Upargen.h"
#include "update/UBootSer.h"

// The program's windows, made once in this order (the main window first, so
// that the workspace is ready before any other window exists) and living
// until the program ends.
struct ProgramWindows {
    explicit ProgramWindows(const std::string& workspaceRoot)
        : mainWindow(workspaceRoot),
          newProjectDialog(&mainWindow),
          generalParameterDialog(&mainWindow),
          aboutBox(&mainWindow),
          serialUpdateWizard(platform::systemSerialApi(), &mainWindow) {}

    TFTarveleFirmWare mainWindow;
    TFsaveproj newProjectDialog;
    TFpargen generalParameterDialog;
    TFSetVar translateTable;
    TFAbout2 aboutBox;
    TFBootSer serialUpdateWizard;
};
