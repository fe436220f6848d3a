#include "station/Proof.h"

#include "platform/FileSystem.h"

namespace {

ProofVerdict fault(std::size_t line, const std::string& message) {
    ProofVerdict verdict;
    verdict.kind = ProofVerdict::Kind::Fault;
    verdict.line = line;
    verdict.message = message;
    return verdict;
}

// What is wrong with the checkpoint at index (its line is index + 1).
std::optional<std::string> checkpointProblem(const Json& checkpoint, std::size_t index,
                                             const std::string& logId, const PublicKey& key) {
    const Json prev = checkpoint.value("prev", Json());
    const std::string head = prev.is_string() ? prev.get<std::string>() : std::string();
    if (checkpoint["log"] != logId)
        return "the checkpoint is of another log";
    if (checkpoint["records"] != index || checkpoint["head"] != head)
        return "the checkpoint does not count the lines before it";
    if (checkpoint["key"] != key.id())
        return "the checkpoint is signed by another key (" + checkpoint["key"].get<std::string>() +
               ")";
    const std::string message =
        checkpointMessage(logId, index, head, checkpoint["time"].get<std::string>());
    if (!signatureHolds(key, message, checkpoint["signature"].get<std::string>()))
        return "the checkpoint's signature does not hold";
    return std::nullopt;
}

}  // namespace

std::string anchorFile(const std::string& folder, const std::string& logId) {
    return folder + platform::kPathSeparator + logId + ".checkpoint";
}

ProofVerdict proveLog(const AuditChain& chain, const std::string& logId, const PublicKey& key,
                      const std::optional<std::string>& anchorFolder) {
    const auto& records = chain.records();
    if (!chain.torn().empty())
        return fault(chain.nextLine(), "line " + std::to_string(chain.nextLine()) +
                                           " is torn (a crash while it was written, or a cut)");
    if (records.empty())
        return fault(1, "the log is empty");
    ProofVerdict verdict;
    verdict.key = key.id();
    std::optional<std::size_t> lastCheckpoint;
    for (std::size_t index = 0; index < records.size(); ++index) {
        const Json& record = records[index].json;
        if (record["event"] != "checkpoint")
            continue;
        if (const auto problem = checkpointProblem(record, index, logId, key))
            return fault(index + 1, *problem);
        lastCheckpoint = index;
        ++verdict.checkpoints;
    }
    if (!lastCheckpoint)
        return fault(1, "the log holds no checkpoint: it was never signed with this key");
    if (anchorFolder) {
        const std::string file = anchorFile(*anchorFolder, logId);
        std::string message;
        const auto text = platform::readFileContents(file, &message);
        const Json anchor = text ? Json::parse(*text, nullptr, false) : Json();
        if (!anchor.is_object() || !anchor.contains("records") ||
            !anchor["records"].is_number_unsigned() || !anchor.contains("signature"))
            return fault(records.size(), "no checkpoint of this log in the anchor (" +
                                             (text ? file + " is no checkpoint" : message) + ")");
        const std::size_t index = anchor["records"].get<std::size_t>();
        if (index >= records.size())
            return fault(records.size(), "the log ends at line " + std::to_string(records.size()) +
                                             ", before the anchor's checkpoint at line " +
                                             std::to_string(index + 1) + ": lines were cut");
        if (records[index].json.value("signature", Json()) != anchor["signature"])
            return fault(index + 1,
                         "line " + std::to_string(index + 1) + " is not the anchor's checkpoint");
    }
    verdict.unsealedLines = records.size() - 1 - *lastCheckpoint;
    if (verdict.unsealedLines > 0)
        verdict.kind = ProofVerdict::Kind::Unsealed;
    return verdict;
}
