#include "project/ProjectLock.h"

#include <optional>
#include <vector>

#include "common/AppError.h"
#include "platform/FileLock.h"
#include "platform/FileSystem.h"
#include "project/ProjectPaths.h"

namespace {

// The files a project's writers replace, by folder. The project's lock is
// held: no writer of them runs.
void removeReplacementLeftovers(const std::string& folder,
                                std::initializer_list<const char*> targets) {
    for (const char* target : targets)
        platform::removeReplacementLeftovers(folder, target,
                                             platform::LeftoverOwners::AllAbandoned);
}

// The name as the operator knows it: without the separator the window's
// project name may begin with.
std::string shownName(const std::string& projectName) {
    const std::size_t start = projectName.find_first_not_of("/\\");
    return start == std::string::npos ? projectName : projectName.substr(start);
}

// The parts of a project's name: the folders from the projects folder down.
std::size_t namePartCount(const std::string& projectName) {
    const std::string name = shownName(projectName);
    std::size_t parts = 1;
    for (const char c : name) {
        if (c == '/' || c == platform::kPathSeparator)
            ++parts;
    }
    return parts;
}

// The lock file's mode: that of the documents beside it.
std::optional<unsigned> documentMode(const std::string& projectFolder) {
    const ProjectPaths paths(projectFolder);
    for (const std::string& document : {paths.generalParameters, paths.translateTable}) {
        if (const auto mode = platform::fileMode(document))
            return mode;
    }
    return std::nullopt;
}

}  // namespace

void refuseForeignLinks(const std::string& projectFolder, const std::string& projectName) {
    std::vector<std::string> folders{projectFolder};
    for (std::size_t part = 1; part < namePartCount(projectName); ++part)
        folders.insert(folders.begin(),
                       platform::parentFolder(folders.front()).value_or(std::string()));
    const ProjectPaths project(projectFolder);
    std::vector<std::string> paths = folders;
    paths.insert(paths.end(),
                 {project.generalParameters, project.translateTable, project.bin, project.image});
    for (const std::string& path : paths) {
        if (!path.empty() && platform::isForeignLink(path))
            throw AppError(path + " is a link that another user made");
    }
}

ProjectLock::ProjectLock(const std::string& projectFolder, const std::string& projectName,
                         unsigned waitMs, const platform::LockPause& pause) {
    refuseForeignLinks(projectFolder, projectName);
    platform::LockAttempt attempt = platform::lockFile(ProjectPaths(projectFolder).lock, waitMs,
                                                       documentMode(projectFolder), pause);
    if (attempt.busy)
        throw AppError("Project " + shownName(projectName) +
                       " is busy: another program is writing it.");
    if (!attempt.lock)
        throw AppError("Cannot lock the project " + shownName(projectName) + ": " + attempt.reason);
    lock_ = std::move(attempt.lock);
    removeReplacementLeftovers(projectFolder, {kGeneralParameterFile, kTranslateTableFile});
    removeReplacementLeftovers(ProjectPaths(projectFolder).bin, {kImageFile});
}

ProjectLock::~ProjectLock() = default;
ProjectLock::ProjectLock(ProjectLock&&) noexcept = default;
ProjectLock& ProjectLock::operator=(ProjectLock&&) noexcept = default;
