#pragma once

#include <string>

// True when name stays inside the folder it is joined to: not absolute, no
// drive, no ".." part.
bool isNameInsideFolder(const std::string& name);

// True when a typed project name can be used: it stays inside the projects
// folder, survives the settings file unchanged (no line break, no blank at
// either end) and makes a folder name that both Linux and Windows accept and
// that the updater's command line carries whole (none of < > : " | ? * and
// no control character), is well-formed UTF-8 without a byte order mark,
// and has one spelling (no empty or "." part). Names Windows refuses are
// refused everywhere, so that projects move between the platforms: device
// names (CON, COM1, CONIN$, ..., with or without an extension), a part ending
// in a dot or a blank, and on Linux a backslash.
bool isPortableProjectName(const std::string& name);

// True when name, joined to the projects folder, is that folder itself ("",
// ".", "./.").
bool isProjectsFolderItself(const std::string& name);

// True when a part of name is "bin" directly inside a folder that holds a
// pargen.xml: the updater's folder of a project, not a project.
bool reachesIntoABinFolder(const std::string& projectsFolder, const std::string& name);
