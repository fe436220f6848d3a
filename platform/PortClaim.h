#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// One device, one station: a claim on a serial device, keyed by the device
// itself (Linux: its device number, whatever name or link leads to it;
// Windows: its COM name), held by a lock on a file that every station of
// this host shares. Let go when the object goes; an updater handed the
// lock keeps it (Linux) until it ends, even if its station is killed.
class PortClaim {
  public:
    explicit PortClaim(std::intptr_t file) : file_(file) {}
    ~PortClaim();
    PortClaim(const PortClaim&) = delete;
    PortClaim& operator=(const PortClaim&) = delete;
    // The locked file, for a program that should hold the claim too.
    std::intptr_t lockedFile() const { return file_; }

  private:
    std::intptr_t file_;
};

// The claim, or who holds it ("the station of tech (pid 4121) for CNV-07",
// as its holder wrote it), or why there is none.
struct PortClaimAttempt {
    std::unique_ptr<PortClaim> claim;
    std::string heldBy;
    std::string reason;
};

// Where every station of this host keeps its claims, whoever runs it
// (/tmp; %ProgramData%\Tarvel on Windows).
std::string defaultClaimFolder();

// Tries once to claim the device, in folder; holder says who claims it.
PortClaimAttempt claimPort(const std::string& folder, const std::string& device,
                           const std::string& holder);

}  // namespace platform
