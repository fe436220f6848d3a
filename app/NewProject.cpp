#include "app/NewProject.h"

#include <set>

#include "app/FolderUtils.h"
#include "app/ProjectNames.h"
#include "common/AppError.h"
#include "documents/GeneralParameters.h"
#include "documents/TranslateTable.h"
#include "documents/XmlDocument.h"
#include "platform/FileSystem.h"

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
    if (!isPortableProjectName(name))
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

void writeDefaultProjectDocuments(const std::string& projectFolder) {
    XmlDocument document;
    writeGeneralParameters(document, GeneralParameters{},
                           projectFolder + platform::kPathSeparator + "pargen.xml");
    writeTranslateTable(document, {}, projectFolder + platform::kPathSeparator + "var.xml");
}

namespace {

constexpr const char* kUnfinishedMark = ".new-";
// Room for the dot, the mark and a process number within a name's 255 bytes.
constexpr std::size_t kLongestNameInUnfinished = 200;

std::string unfinishedName(const std::string& leaf, unsigned long processId) {
    std::string name = ".";
    name += leaf.substr(0, kLongestNameInUnfinished);
    name += kUnfinishedMark;
    name += std::to_string(processId);
    return name;
}

// The process that left an unfinished folder of ours, or 0 for any other name.
unsigned long unfinishedOwner(const std::string& entry) {
    const std::size_t mark = entry.rfind(kUnfinishedMark);
    if (entry.empty() || entry.front() != '.' || mark == std::string::npos)
        return 0;
    const std::string digits = entry.substr(mark + std::string(kUnfinishedMark).size());
    if (digits.empty() || digits.size() > 10 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return std::stoul(digits);
}

void removeAbandonedUnfinished(const std::string& folder) {
    // Once a folder a run: a fleet of new projects need not list it each time.
    static std::set<std::string> cleared;
    if (!cleared.insert(folder).second)
        return;
    for (const std::string& entry : platform::folderEntries(folder)) {
        const unsigned long owner = unfinishedOwner(entry);
        if (owner != 0 && !platform::processRunning(owner))
            platform::removeTree(folder + platform::kPathSeparator + entry);
    }
}

}  // namespace

ProjectUnderConstruction::ProjectUnderConstruction(const std::string& destinationFolder,
                                                   const std::string& name)
    : name_(name), candidate_(newProjectCandidate(destinationFolder, name)) {
    const std::size_t split =
        candidate_.find_last_of(platform::kPathSeparator == '/' ? "/" : "/\\");
    parent_ = candidate_.substr(0, split);
    removeAbandonedUnfinished(parent_);
    folder_ = parent_ + platform::kPathSeparator +
              unfinishedName(candidate_.substr(split + 1), platform::currentProcessId());
    platform::removeTree(folder_);
    std::string reason;
    if (!platform::createFolder(folder_, &reason))
        throw AppError("Cannot create the project folder " + candidate_ + ": " + reason);
    platform::setHidden(folder_, true);
    if (!platform::createFolder(folder_ + platform::kPathSeparator + "bin", &reason)) {
        platform::removeTree(folder_);
        throw AppError("The project " + name_ + " could not be created: " + reason);
    }
}

ProjectUnderConstruction::~ProjectUnderConstruction() {
    if (!committed_)
        platform::removeTree(folder_);
}

bool ProjectUnderConstruction::commit(bool sync) {
    std::string reason;
    if (!platform::renameFolderWithoutReplacing(folder_, candidate_, &reason, sync)) {
        if (platform::entryExists(candidate_))
            return false;
        throw AppError("Cannot create the project folder " + candidate_ + ": " + reason);
    }
    committed_ = true;
    platform::setHidden(candidate_, false);
    return true;
}

bool createProjectFolder(const std::string& destinationFolder, const std::string& name,
                         const std::function<void(const std::string& folder)>& fill) {
    ProjectUnderConstruction project(destinationFolder, name);
    try {
        fill(project.folder());
    } catch (const std::exception& e) {
        throw AppError("The project " + name + " could not be created: " + e.what());
    }
    return project.commit();
}
