#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace platform {

// Watches where serial ports come and go. On Linux a port is an entry of the
// folder (its name; two links to one device are two ports) that is a
// character device or a link to one, opened by its path; names starting with
// a dot do not count. On Windows the folder is ignored: the ports are those of
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, opened by their "COMn" name.
class PortWatch {
  public:
    explicit PortWatch(std::string folder);
    ~PortWatch();
    PortWatch(const PortWatch&) = delete;
    PortWatch& operator=(const PortWatch&) = delete;

    // The ports present now: each name and the path that opens it.
    std::map<std::string, std::string> ports() const;
    // Returns when the ports may have changed, true when the system told so
    // (inotify on Linux, a registry notification on Windows), false after
    // timeoutMs. While the system cannot be asked yet (a folder not there, a
    // key not made), or a notification may be missed (Windows arms one per
    // wait), it returns after half a second at the latest.
    bool waitForChange(unsigned timeoutMs);

  private:
    std::string folder_;
    std::intptr_t notifier_ = -1;
    std::intptr_t watched_ = -1;
};

}  // namespace platform
