#pragma once

#include <string>

// The process-wide workspace state: where the program lives and which project
// is current. Every change of projectFolder is followed by setProjectPaths()
// before a document is read or written.
struct Workspace {
    std::string root;
    std::string masterFolder;
    std::string projectsFolder;
    std::string projectName;
    std::string projectFolder;
    std::string generalParameterPath;
    std::string translateTablePath;

    void setProjectPaths();
    std::string settingsFile() const;
};

Workspace& workspace();

inline constexpr const char* kCaptionBase = "Mirelo Tarvel SW40917 MudbusRTU / ModbusASCII";

// The caption after the New or Open project flow: no blank after the colon.
std::string captionForProject(const std::string& projectName);

// Where the workspace lives for a program in programFolder: beside the
// program, as in a build folder or a portable copy; but for a program that the
// install rules put under a prefix (they alone place the marker
// ../share/tarvel/installed beside its folder), the user's own
// $XDG_DATA_HOME/Tarvel (~/.local/share/Tarvel). Makes nothing: a command
// that needs no workspace must leave none behind; the one that uses it makes
// the user's folder with ForceFolder.
std::string workspaceRootFor(const std::string& programFolder);

// Sets the workspace's folders below root and creates MASTER and PROJECTS
// when missing; a folder that cannot be made is not reported.
void prepareWorkspaceFolders(Workspace& state, const std::string& root);

// Prepares the workspace below root (folders, last project, document paths)
// and returns the window caption for start-up.
std::string setUpWorkspace(Workspace& state, const std::string& root);

// Writes the project name into the settings file; raises AppError
// "Unable to write to <file>" when that fails.
void saveLastProject(const Workspace& state);

// The Open project rule: the name is what follows the projects folder in the
// project folder; empty for the projects folder itself or an empty folder.
std::string projectNameFromFolder(const Workspace& state);
