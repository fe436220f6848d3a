#pragma once

#include <string>
#include <vector>

#include "platform/SerialApi.h"

// Every port family of today's platforms probes 256 COM numbers.
inline constexpr int kComPortProbeCount = 256;

// A COM port present, and whether another program (or this one) holds it.
struct ComPortState {
    int number = 0;
    bool held = false;
    bool operator==(const ComPortState&) const = default;
};

// Whether the port of that name, opened as the wizard opens it, is present
// (it opens, or another program holds it); closed again.
bool portPresent(platform::SerialApi& api, const std::string& name);

// The COM ports present, ascending; every probe is closed before the next.
std::vector<ComPortState> probeComPorts(platform::SerialApi& api,
                                        int probeCount = kComPortProbeCount);

// The numbers of the COM ports present, ascending, as decimal text. A port
// counts as present when it opens, or when it is refused because another
// program (or this one) holds it. Every probe is closed before the next.
std::vector<std::string> discoverComPorts(platform::SerialApi& api,
                                          int probeCount = kComPortProbeCount);
