#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/AppError.h"
#include "common/Json.h"
#include "station/Proof.h"
#include "station/Signing.h"

// A station's log read and checked as audit does, for the command line and
// the station's window alike.

// A project's last state: the result's outcome, or "unfinished" while an
// attempt runs or after a station died before its result; with the count of
// its attempts and of those that failed. exitCodeValue and adapterValue keep
// the log's own values.
struct AuditEntry {
    std::string project, outcome, time, port, adapter, image, exitCode, unit, updaterSha256,
        masterSha256;
    Json exitCodeValue, adapterValue;
    std::size_t attempts = 0, failures = 0;
};

// The updater and master file that starts used from a time on.
struct AuditTools {
    std::string from, updaterSha256, masterSha256;
    bool operator==(const AuditTools& other) const {
        return updaterSha256 == other.updaterSha256 && masterSha256 == other.masterSha256;
    }
};

struct AuditReading {
    // Each project's last state in the order projects first appear (with the
    // queue's pending rows first, in its order), or with history every result.
    std::vector<AuditEntry> entries;
    std::vector<AuditTools> tools;
    std::size_t records = 0;
    std::string head;  // the last line's SHA-256, empty for an empty log
    // With a key: what the signatures prove.
    std::optional<ProofVerdict> verdict;
    // Without a key: the line that a crash left torn, if any.
    std::optional<std::size_t> tornLine;
};

// Where a log fails its check: "line N: why" (line 0 when the log cannot be read).
class AuditFault : public AppError {
  public:
    AuditFault(std::size_t line, const std::string& text) : AppError(text), line(line) {}
    std::size_t line;
};

struct AuditRequest {
    std::string logFile;
    std::optional<PublicKey> key;
    std::optional<std::string> anchorFolder;
    bool history = false;
    // The projects of a queue, in its order: those the log does not name
    // yet are listed as pending.
    std::vector<std::string> queueProjects;
};

// Reads the log a piece at a time, each record checked and let go, so that
// a log of any length takes little memory. Raises AuditFault.
AuditReading readAudit(const AuditRequest& request);

// The entries as audit --csv writes them: a header, then a line for each,
// with the image's parameters in words.
std::string auditCsv(const std::vector<AuditEntry>& entries);
