#pragma once

class TFTarveleFirmWare;
class TFsaveproj;
class TFpargen;
class TFSetVar;
class TFAbout2;
class TFBootSer;

// The program's windows, each constructed once at start-up and living until the
// end; a window registers itself here when it is constructed, so that the
// others can reach it.
struct Forms {
    TFTarveleFirmWare* main = nullptr;
    TFsaveproj* saveproj = nullptr;
    TFpargen* pargen = nullptr;
    TFSetVar* setVar = nullptr;
    TFAbout2* about = nullptr;
    TFBootSer* bootSer = nullptr;
};

Forms& forms();
