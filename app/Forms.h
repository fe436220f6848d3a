#pragma once

class TFTarveleFirmWare;
class TFsaveproj;
class TFpargen;
class TFSetVar;
class TFAbout2;
class TFBootSer;

// The program's windows. The main window is built at start-up and put here
// by the program's entry; each other window is built the first time it is
// asked for, by the functions below, as a child of the main window, with the
// main window's services it needs handed over, and then lives until the
// program ends, so that dialogs keep their controls' values between showings.
// Only these functions fill the slots; no window puts itself here.
struct Forms {
    // Not "main": Qt for Windows defines main as a macro for its entry point.
    TFTarveleFirmWare* mainWindow = nullptr;
    TFsaveproj* saveproj = nullptr;
    TFpargen* pargen = nullptr;
    TFSetVar* setVar = nullptr;
    TFAbout2* about = nullptr;
    TFBootSer* bootSer = nullptr;
};

Forms& forms();

// The windows behind the main window, built on first use.
TFsaveproj& newProjectDialog();
TFpargen& generalParameterDialog();
TFSetVar& translateTable();
TFAbout2& aboutBox();
TFBootSer& serialUpdateWizard();
