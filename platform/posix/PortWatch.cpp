#include "platform/PortWatch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/FileSystem.h"

namespace platform {
namespace {

constexpr unsigned kRescanMs = 500;

// Entries made, removed and renamed (udev makes a link under a temporary name
// and renames it), and the folder itself going.
constexpr std::uint32_t kWatchedEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

}  // namespace

PortWatch::PortWatch(std::string folder)
    : folder_(std::move(folder)), notifier_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

PortWatch::~PortWatch() {
    if (notifier_ >= 0)
        close(static_cast<int>(notifier_));
}

std::map<std::string, std::string> PortWatch::ports() const {
    std::map<std::string, std::string> found;
    for (const std::string& name : folderEntries(folder_)) {
        if (name.empty() || name.front() == '.')
            continue;
        const std::string path = folder_ + "/" + name;
        struct stat status {};
        if (stat(path.c_str(), &status) == 0 && S_ISCHR(status.st_mode))
            found.emplace(name, path);
    }
    return found;
}

bool PortWatch::waitForChange(unsigned timeoutMs) {
    const int notifier = static_cast<int>(notifier_);
    if (notifier >= 0 && watched_ < 0)  // the folder may have come since
        watched_ = inotify_add_watch(notifier, folder_.c_str(), kWatchedEvents);
    if (watched_ < 0) {
        usleep(static_cast<useconds_t>(std::min(timeoutMs, kRescanMs)) * 1000);
        return false;
    }
    // A watch, once made, queues every change: nothing is missed meanwhile.
    pollfd wake{notifier, POLLIN, 0};
    if (poll(&wake, 1, static_cast<int>(timeoutMs)) <= 0)
        return false;
    alignas(inotify_event) char events[4096];
    ssize_t got;
    while ((got = read(notifier, events, sizeof events)) > 0) {
        for (char* at = events; at < events + got;) {
            const auto* event = reinterpret_cast<inotify_event*>(at);
            if (event->mask & IN_IGNORED)  // the folder went; watch it again once back
                watched_ = -1;
            at += sizeof(inotify_event) + event->len;
        }
    }
    return true;
}

}  // namespace platform
