#pragma once

class TFTarveleFirmWare;
class TFsaveproj;
class TFpargen;
class TFSetVar;
class TFAbout2;
class TFBootSer;

// The program's windows. The main window is built at start-up; each other
// window is built the first time it is asked for, as a child of the main
// window, and then lives until the program ends, so that dialogs keep their
// controls' values between showings. A window registers itself here when it
// is constructed, so that the others can reach it.
struct Forms {
    TFTarveleFirmWare* main = nullptr;
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
