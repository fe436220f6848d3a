#pragma once

#include <memory>
#include <string>

namespace platform {
class FileLock;
}

inline constexpr unsigned kProjectLockWaitMs = 5000;

// While it lives, no other writer of ours reads, changes and writes the
// project: every read-modify-write of a project's documents and image holds
// it, in both programs. Taking it also removes what interrupted writes left
// in the project (temporary files of replacements), since under the lock none
// of them can still be in use.
class ProjectLock {
  public:
    // Raises AppError "Project <name> is busy: another program is writing it."
    // when another writer holds the lock for longer than waitMs.
    ProjectLock(const std::string& projectFolder, const std::string& projectName,
                unsigned waitMs = kProjectLockWaitMs);
    ~ProjectLock();
    ProjectLock(ProjectLock&&) noexcept;
    ProjectLock& operator=(ProjectLock&&) noexcept;

  private:
    std::unique_ptr<platform::FileLock> lock_;
};

// The lock file of a project: ".tarvel-lock" in its folder, never in bin.
std::string projectLockPath(const std::string& projectFolder);
