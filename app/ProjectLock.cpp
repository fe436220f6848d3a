#include "app/ProjectLock.h"

#include "common/AppError.h"
#include "platform/FileLock.h"
#include "platform/FileSystem.h"

namespace {

// The files a project's writers replace, by folder.
void removeReplacementLeftovers(const std::string& folder,
                                std::initializer_list<const char*> targets) {
    for (const std::string& entry : platform::folderEntries(folder)) {
        for (const char* target : targets) {
            if (platform::isReplacementLeftover(entry, target))
                platform::removeTree(folder + platform::kPathSeparator + entry);
        }
    }
}

// The name as the operator knows it: without the separator the window's
// project name may begin with.
std::string shownName(const std::string& projectName) {
    const std::size_t start = projectName.find_first_not_of("/\\");
    return start == std::string::npos ? projectName : projectName.substr(start);
}

}  // namespace

std::string projectLockPath(const std::string& projectFolder) {
    return projectFolder + platform::kPathSeparator + ".tarvel-lock";
}

ProjectLock::ProjectLock(const std::string& projectFolder, const std::string& projectName,
                         unsigned waitMs) {
    platform::LockAttempt attempt = platform::lockFile(projectLockPath(projectFolder), waitMs);
    if (attempt.busy)
        throw AppError("Project " + shownName(projectName) +
                       " is busy: another program is writing it.");
    if (!attempt.lock)
        throw AppError("Cannot lock the project " + shownName(projectName) + ": " + attempt.reason);
    lock_ = std::move(attempt.lock);
    removeReplacementLeftovers(projectFolder, {"pargen.xml", "var.xml"});
    removeReplacementLeftovers(projectFolder + platform::kPathSeparator + "bin", {"bank.bin"});
}

ProjectLock::~ProjectLock() = default;
ProjectLock::ProjectLock(ProjectLock&&) noexcept = default;
ProjectLock& ProjectLock::operator=(ProjectLock&&) noexcept = default;
