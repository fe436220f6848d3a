#pragma once

#include <string>

// Modal folder picker offering root and the folders below it (the whole tree
// when root does not exist or is empty), root itself included. On entry folder
// is the folder to preselect; it is emptied first when it does not name an
// existing folder. Only when the operator confirms does folder receive the
// chosen path (without a trailing separator) and the result become true.
bool BrowseFolder(const std::string& title, const std::string& root, std::string& folder);
