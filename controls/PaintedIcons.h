#pragma once

#include <QIcon>

// The buttons' pictures, painted by the program itself: no image file is read
// and no image-format plugin is loaded for them.
enum class Picture {
    NewFile,     // a blank page with a folded corner
    OpenFolder,  // an opened folder
    Parameters,  // a sheet with lines of settings
    Upload,      // a green circle with an arrow pointing up
    About,       // a blue circle with an "i"
    Ok,          // a green tick
    Cancel,      // a red cross
    Refresh,     // two circling arrows
    Next,        // a green circle with an arrow pointing right
    Program,     // the program's own picture: a converter joining two lines
};

QIcon paintedIcon(Picture picture);

// The program's picture at the given size in pixels, for the windows' icon.
QPixmap programPicture(int size);
