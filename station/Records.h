#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/Json.h"
#include "platform/ProcessIdentity.h"
#include "platform/SerialAdapter.h"

// The pieces of the log's records: who wrote one, which process it names,
// and how an adapter and an image are written.

// This station process as every record it writes names it: host, boot,
// user, pid, pidStart and the tool.
Json stationIdentity();

// A start time as records hold it: a number, or null where it could not be
// read. The 0 of older records means the same as null.
Json startJson(const std::optional<std::uint64_t>& start);

// Who a record names: the station (pid, pidStart) or its updater
// (updaterPid, updaterStarted).
platform::ProcessIdentity processOf(const Json& record, const char* pidKey, const char* startKey);

// The same attempt: one station process's claim of one project.
bool sameAttempt(const Json& a, const Json& b);

// The adapter behind a port: vid, pid, serial, usbPath, byId and
// description, each a string or null; null for a port that is no USB adapter.
Json adapterJson(const std::optional<platform::SerialAdapter>& adapter);

// The SHA-256 of a file's bytes, or empty when it cannot be read.
std::string fileDigest(const std::string& path);
