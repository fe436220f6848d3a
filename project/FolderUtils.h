#pragma once

#include <string>

// True when path names an existing folder; false for an empty path, a file or
// anything that cannot be queried.
bool FolderExists(const std::string& path);

// Creates path and every missing folder above it; true when the folder exists
// afterwards. A trailing separator is ignored; a path shorter than three
// characters is accepted without any creation.
bool ForceFolder(const std::string& path);
