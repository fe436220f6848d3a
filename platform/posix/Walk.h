#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>

namespace platform::posix {

// A path opened one folder at a time, each relative to the one before, so
// that what is checked is what is used: no step can be swapped for a link
// between the two. A link is followed only when this user or root made it;
// one of another user's could lead a program with more rights to read or
// write where that user may not.
//
// The folder that holds the last name, opened; and that name.
class WalkedParent {
  public:
    explicit WalkedParent(int folder) : folder_(folder) {}
    ~WalkedParent();
    WalkedParent(WalkedParent&& other) noexcept;
    WalkedParent(const WalkedParent&) = delete;
    WalkedParent& operator=(const WalkedParent&) = delete;
    WalkedParent& operator=(WalkedParent&&) = delete;

    int folder() const { return folder_; }
    // One step down: the folder opened in this one.
    void descend(int folder);

    std::string leaf;

  private:
    int folder_;
};

// Nothing when a step cannot be opened (errno tells) or is another user's
// link (reason says "<path> is a link that another user made", errno ELOOP).
std::optional<WalkedParent> walkToParent(const std::string& path, std::string* reason);

// Opens the last name in its folder with flags (O_CLOEXEC is added); a link
// there is followed only by the same rule. -1 as above.
int openLeaf(const WalkedParent& parent, const std::string& path, int flags, mode_t mode,
             std::string* reason);

// The whole path, walked and opened: -1 as above.
int openWalked(const std::string& path, int flags, mode_t mode, std::string* reason);

// Whether a link with this owner may be followed.
bool trustedLinkOwner(uid_t owner);

}  // namespace platform::posix
