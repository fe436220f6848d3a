#include "project/Workspace.h"

#include <cstdlib>

#include "common/AppError.h"
#include "common/Utf8.h"
#include "platform/FileSystem.h"
#include "platform/ProfileStrings.h"
#include "project/FolderUtils.h"
#include "project/ProjectNames.h"
#include "project/ProjectPaths.h"

namespace {

const std::string kSeparator(1, platform::kPathSeparator);
const char* const kSettingsSection = "lastproj";
const char* const kSettingsKey = "projectname";

void ensureFolder(const std::string& path) {
    // A folder that cannot be made is not reported: start-up goes on.
    if (!FolderExists(path))
        platform::createFolder(path);
}

}  // namespace

void Workspace::setProjectPaths() {
    const ProjectPaths paths(projectFolder);
    generalParameterPath = paths.generalParameters;
    translateTablePath = paths.translateTable;
}

std::string Workspace::settingsFile() const {
    return root + kSeparator + "Tarvel.ini";
}

Workspace& workspace() {
    static Workspace state;
    return state;
}

std::string captionForProject(const std::string& projectName) {
    return std::string(kCaptionBase) + " :" + projectName;
}

void prepareWorkspaceFolders(Workspace& state, const std::string& root) {
    state.root = root;
    state.masterFolder = root + kSeparator + "MASTER";
    ensureFolder(state.masterFolder);
    state.projectsFolder = root + kSeparator + "PROJECTS";
    ensureFolder(state.projectsFolder);
}

std::string setUpWorkspace(Workspace& state, const std::string& root) {
    prepareWorkspaceFolders(state, root);

    state.projectName =
        platform::readProfileString(state.settingsFile(), kSettingsSection, kSettingsKey, "");
    // Earlier versions wrote the name in the system's code page.
    if (!isValidUtf8(state.projectName))
        state.projectName = platform::fromAnsiCodePage(state.projectName);
    if (!state.projectName.empty() && state.projectName.front() != platform::kPathSeparator)
        state.projectName = kSeparator + state.projectName;

    // A hand-edited name that leads outside the projects folder counts as a
    // deleted project: nothing may be read or written out there.
    std::string caption;
    if (!state.projectName.empty() && isNameInsideFolder(state.projectName.substr(1)) &&
        FolderExists(state.projectsFolder + state.projectName)) {
        state.projectFolder = state.projectsFolder + state.projectName;
        caption = std::string(kCaptionBase) + " : " + state.projectName;
    } else {
        // The remembered name is kept as read, so that it is written back unchanged.
        state.projectFolder = state.projectsFolder;
        caption = kCaptionBase;
    }
    state.setProjectPaths();
    return caption;
}

void saveLastProject(const Workspace& state) {
    if (!platform::writeProfileString(state.settingsFile(), kSettingsSection, kSettingsKey,
                                      state.projectName))
        throw AppError("Unable to write to " + state.settingsFile());
}

std::string projectNameFromFolder(const Workspace& state) {
    const std::size_t length = state.projectsFolder.size();
    return state.projectFolder.size() > length ? state.projectFolder.substr(length) : std::string();
}

std::string workspaceRootFor(const std::string& programFolder) {
    const char sep = platform::kPathSeparator;
    const std::string marker =
        programFolder + sep + ".." + sep + "share" + sep + "tarvel" + sep + "installed";
    if (!platform::entryExists(marker))
        return programFolder;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string data;
    if (dataHome && dataHome[0] == sep)  // relative values are to be ignored
        data = dataHome;
    else if (home && home[0] != '\0')
        data = std::string(home) + sep + ".local" + sep + "share";
    else
        return programFolder;
    return data + sep + "Tarvel";
}
