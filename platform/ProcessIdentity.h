#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Host.h"

namespace platform {

// Who a process is, wherever it is looked at from: the host, the boot it
// runs in, its id and when it started. A process id is reused; the id with
// its start time is not.
struct ProcessIdentity {
    std::string host;
    std::string boot;
    unsigned long processId = 0;
    // Nothing when it could not be read (another user's process, say).
    std::optional<std::uint64_t> start;
};

// Whether a process still runs. Unknown is what cannot be told from here
// (another host, a start time that cannot be read), and counts as alive
// wherever something would be removed or taken over.
enum class Liveness { Running, Ended, Unknown };

ProcessIdentity thisProcess();

// A process of this host and boot, by its id, with its start as far as it
// can be read now.
ProcessIdentity processOnThisHost(unsigned long processId);

Liveness liveness(const ProcessIdentity& process);

// Anything but a sure end counts as alive.
inline bool mayBeRunning(const ProcessIdentity& process) {
    return liveness(process) != Liveness::Ended;
}

// The start time as markers and records write it: its number, or "unknown".
std::string startText(const std::optional<std::uint64_t>& start);
// "unknown", and the 0 of older versions, are an unknown start; anything but
// a number is not a start time at all.
std::optional<std::optional<std::uint64_t>> parseStartText(const std::string& text);

}  // namespace platform
