#pragma once

#include <string>

// True when name stays inside the folder it is joined to: not absolute, no
// drive, no ".." part.
bool isNameInsideFolder(const std::string& name);

// True when a typed project name can be used: it stays inside the projects
// folder, survives the settings file unchanged (no line break, no blank at
// either end) and makes a folder name that both Linux and Windows accept and
// that the updater's command line carries whole (none of < > : " | ? * and
// no control character).
bool isPortableProjectName(const std::string& name);
