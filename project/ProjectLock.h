#pragma once

#include <memory>
#include <string>

#include "platform/FileLock.h"

inline constexpr unsigned kProjectLockWaitMs = 5000;

// While it lives, no other writer of ours reads, changes and writes the
// project: every read-modify-write of a project's documents and image holds
// it, in both programs. Taking it also removes what interrupted writes left
// in the project (temporary files of replacements), since
// under the lock none of them can still be in use.
class ProjectLock {
  public:
    // Refuses a project with links that another user made (refuseForeignLinks).
    // Raises AppError "Project <name> is busy: another program is writing it."
    // when another writer holds the lock for longer than waitMs; pause spends
    // each wait between two attempts. The lock file is made with the mode of
    // the project's documents, so that whoever may write them may lock.
    ProjectLock(const std::string& projectFolder, const std::string& projectName,
                unsigned waitMs = kProjectLockWaitMs, const platform::LockPause& pause = {});
    ~ProjectLock();
    ProjectLock(ProjectLock&&) noexcept;
    ProjectLock& operator=(ProjectLock&&) noexcept;

  private:
    std::unique_ptr<platform::FileLock> lock_;
};

// Raises AppError "<path> is a link that another user made" when the project
// folder (or a folder of its name above it), a document, bin or bank.bin is a
// link that a user other than this process's made. A link of one's own is
// followed; one of another's could lead a program with more rights, root
// included, to read or write where that user may not.
void refuseForeignLinks(const std::string& projectFolder, const std::string& projectName);
