#include "project/NewProject.h"

#include <algorithm>

#include "common/AppError.h"
#include "common/ShortQuote.h"
#include "documents/GeneralParameters.h"
#include "documents/TranslateTable.h"
#include "documents/XmlDocument.h"
#include "image/ParameterImage.h"
#include "platform/FileSystem.h"
#include "project/BuildMarker.h"
#include "project/FolderUtils.h"
#include "project/ProjectImage.h"
#include "project/ProjectLock.h"
#include "project/ProjectNames.h"
#include "project/ProjectPaths.h"

std::vector<std::string> newProjectRefusals(const std::string& destinationFolder,
                                            const std::string& name) {
    std::vector<std::string> refusals;
    if (destinationFolder.empty())
        refusals.emplace_back("directory destination not valid");
    if (name.empty())
        refusals.emplace_back("Name project not valid");
    if (!refusals.empty())
        return refusals;
    // A name may reach below an existing project, never outside the destination,
    // and must come back unchanged from the settings file on either platform.
    if (!isPortableProjectName(name) || reachesIntoABinFolder(destinationFolder, name))
        return {"Name project not valid"};
    if (FolderExists(newProjectCandidate(destinationFolder, name)))
        return {kProjectExistsMessage};
    return {};
}

std::string newProjectCandidate(const std::string& destinationFolder, const std::string& name) {
    return destinationFolder + "/" + name;
}

std::string projectFolderFor(const std::string& destinationFolder, const std::string& name) {
    return destinationFolder + platform::kPathSeparator + name;
}

namespace {

void writeNew(const std::string& path, const std::string& bytes) {
    std::string reason;
    if (!platform::writeNewFile(path, bytes, &reason))
        throw AppError("Cannot write " + path + ": " + reason);
}

}  // namespace

std::string writeNewProjectFiles(const std::string& folder, const GeneralParameters& parameters,
                                 bool withImage) {
    const ProjectPaths paths(folder);
    XmlDocument document;
    fillGeneralParameters(document, parameters);
    writeNew(paths.generalParameters, document.serialize());
    XmlDocument table;
    fillTranslateTable(table, {});
    writeNew(paths.translateTable, table.serialize());
    if (!withImage)
        return {};
    XmlDocument reader;
    const auto buffer = lockImageBuffer();
    BuildParameterImage(reader, folder);
    const std::string image = builtImageBytes();
    writeNew(paths.image, image);
    return image;
}

namespace {

// Makes a build folder of a new name in parent, its marker first; raises
// AppError "Cannot create the project folder <candidate>: <reason>".
std::string makeBuildFolder(const std::string& parent, const std::string& candidate,
                            const std::string& name) {
    std::string reason;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string leaf = newBuildFolderName();
        const std::string folder = parent + platform::kPathSeparator + leaf;
        if (!platform::createFolder(folder, &reason)) {
            if (platform::entryExists(folder))
                continue;  // that name is taken: draw another
            break;
        }
        if (!platform::writeNewFile(folder + platform::kPathSeparator + kBuildMarkerName,
                                    formatBuildMarker(markerOfThisProcess(leaf, name)), &reason)) {
            platform::removeTree(folder);
            break;
        }
        return folder;
    }
    throw AppError("Cannot create the project folder " + candidate + ": " + reason);
}

}  // namespace

ProjectUnderConstruction::ProjectUnderConstruction(const std::string& destinationFolder,
                                                   const std::string& name,
                                                   std::set<std::string>* clearedFolders)
    : name_(name),
      candidate_(newProjectCandidate(destinationFolder, name)),
      // A name in a message is cut to 60 characters; the folder it is in is not.
      shownCandidate_(newProjectCandidate(destinationFolder, shortQuote(name))) {
    parent_ = platform::parentFolder(candidate_).value_or(std::string());
    // A project made inside another is never made through another user's link.
    const std::string outerName = name.substr(0, std::min(name.size(), name.find_last_of("/\\")));
    if (outerName != name)
        refuseForeignLinks(parent_, outerName);
    if (!clearedFolders || clearedFolders->insert(parent_).second)
        clearAbandonedBuilds(parent_);
    build_ = makeBuildFolder(parent_, shownCandidate_, name_);
    platform::setHidden(build_, true);
    // The project is made inside the build folder, beside the marker, so
    // that renaming it into place takes no marker along.
    folder_ = build_ + platform::kPathSeparator + "project";
    std::string reason;
    if (!platform::createFolder(folder_, &reason) ||
        !platform::createFolder(ProjectPaths(folder_).bin, &reason)) {
        platform::removeTree(build_);
        throw AppError("The project " + shortQuote(name_) + " could not be created: " + reason);
    }
}

ProjectUnderConstruction::~ProjectUnderConstruction() {
    platform::removeTree(build_);
}

bool ProjectUnderConstruction::commit(bool sync) {
    std::string reason;
    if (!platform::renameFolderWithoutReplacing(folder_, candidate_, &reason, sync)) {
        if (platform::entryExists(candidate_))
            return false;
        throw AppError("Cannot create the project folder " + shownCandidate_ + ": " + reason);
    }
    // What is left, the marker, goes now, or with the next build beside it.
    platform::removeTree(build_);
    return true;
}

bool createProjectFolder(const std::string& destinationFolder, const std::string& name,
                         const std::function<void(const std::string& folder)>& fill) {
    ProjectUnderConstruction project(destinationFolder, name);
    try {
        fill(project.folder());
    } catch (const std::exception& e) {
        throw AppError("The project " + shortQuote(name) + " could not be created: " + e.what());
    }
    // What fill wrote reaches the disk before the project appears.
    platform::syncFileSystem(project.folder());
    return project.commit();
}
