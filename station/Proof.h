#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "station/AuditLog.h"
#include "station/Signing.h"

// What a signed log proves beyond its chain: every checkpoint signed by the
// key over the lines before it, the last line a checkpoint, and, with an
// anchor kept elsewhere, no line cut after the anchor's checkpoint.
struct ProofVerdict {
    enum class Kind { Proven, Unsealed, Fault };
    Kind kind = Kind::Proven;
    // The first line at fault, and why; or how many lines no checkpoint seals.
    std::size_t line = 0;
    std::string message;
    std::size_t unsealedLines = 0;
    std::size_t checkpoints = 0;
    std::string key;  // the id of the key they are signed with
};

// chain has read the whole log without a problem; logId is the log's id.
ProofVerdict proveLog(const AuditChain& chain, const std::string& logId, const PublicKey& key,
                      const std::optional<std::string>& anchorFolder);

// The anchor's file for a log: "<folder>/<log id>.checkpoint".
std::string anchorFile(const std::string& folder, const std::string& logId);
