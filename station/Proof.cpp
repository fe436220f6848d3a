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

// What is wrong with the checkpoint on line (it counts the lines before it).
std::optional<std::string> checkpointProblem(const Json& checkpoint, std::size_t line,
                                             const std::string& logId, const PublicKey& key) {
    const Json prev = checkpoint.value("prev", Json());
    const std::string head = prev.is_string() ? prev.get<std::string>() : std::string();
    if (checkpoint["log"] != logId)
        return "the checkpoint is of another log";
    if (checkpoint["records"] != line - 1 || checkpoint["head"] != head)
        return "the checkpoint does not count the lines before it";
    if (checkpoint["key"] != key.id())
        return "the checkpoint is signed by another key (" + checkpoint["key"].get<std::string>() +
               ")";
    return std::nullopt;
}

constexpr std::size_t kQueuedSignatures = 256;
constexpr const char* kSignatureFault = "the checkpoint's signature does not hold";

}  // namespace

SignatureWorker::SignatureWorker(PublicKey key)
    : key_(std::move(key)), thread_([this] { work(); }) {}

SignatureWorker::~SignatureWorker() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void SignatureWorker::verify(std::size_t line, std::string message, std::string signature) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.size() < kQueuedSignatures; });
    jobs_.push_back({line, std::move(message), std::move(signature)});
    changed_.notify_all();
}

std::optional<std::size_t> SignatureWorker::firstFailure() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.empty() && !busy_; });
    return failure_;
}

void SignatureWorker::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
        if (jobs_.empty())
            return;
        const Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        const bool holds = signatureHolds(key_, job.message, job.signature);
        lock.lock();
        busy_ = false;
        // Jobs come in the order of their lines: the first failure stays.
        if (!holds && !failure_)
            failure_ = job.line;
        changed_.notify_all();
    }
}

std::string anchorFile(const std::string& folder, const std::string& logId) {
    return folder + platform::kPathSeparator + logId + ".checkpoint";
}

ProofCheck::ProofCheck(PublicKey key, std::optional<std::string> anchorFolder)
    : key_(key), signatures_(std::move(key)), anchorFolder_(std::move(anchorFolder)) {}

void ProofCheck::readAnchor(const std::string& logId) {
    const std::string file = anchorFile(*anchorFolder_, logId);
    std::string message;
    const auto text = platform::readFileContents(file, &message);
    const Json anchor = text ? Json::parse(*text, nullptr, false) : Json();
    if (!anchor.is_object() || !anchor.contains("records") ||
        !anchor["records"].is_number_unsigned() || !anchor.contains("signature") ||
        !anchor["signature"].is_string()) {
        anchorProblem_ = "no checkpoint of this log in the anchor (" +
                         (text ? file + " is no checkpoint" : message) + ")";
        return;
    }
    anchorLine_ = anchor["records"].get<std::size_t>() + 1;
    anchorSignature_ = anchor["signature"].get<std::string>();
}

std::optional<AuditProblem> ProofCheck::take(const AuditRecord& record, const AuditChain& chain) {
    if (record.line == 1 && anchorFolder_)
        readAnchor(chain.logId());
    const Json& json = record.json;
    if (record.line == anchorLine_ && json.value("signature", Json()) != anchorSignature_)
        return AuditProblem{
            record.line, "line " + std::to_string(record.line) + " is not the anchor's checkpoint"};
    if (json["event"] != "checkpoint")
        return std::nullopt;
    if (const auto problem = checkpointProblem(json, record.line, chain.logId(), key_))
        return AuditProblem{record.line, *problem};
    signatures_.verify(record.line,
                       checkpointMessage(chain.logId(), record.line - 1, json["head"],
                                         json["time"].get<std::string>()),
                       json["signature"]);
    lastCheckpoint_ = record.line;
    ++checkpoints_;
    return std::nullopt;
}

AuditProblem ProofCheck::firstProblem(const AuditProblem& problem) {
    const auto failure = signatures_.firstFailure();
    if (failure && *failure < problem.line)
        return {*failure, kSignatureFault};
    return problem;
}

ProofVerdict ProofCheck::verdict(const AuditChain& chain) {
    if (const auto failure = signatures_.firstFailure())
        return fault(*failure, kSignatureFault);
    const std::size_t lines = chain.lineCount();
    if (!chain.torn().empty())
        return fault(chain.nextLine(), "line " + std::to_string(chain.nextLine()) +
                                           " is torn (a crash while it was written, or a cut)");
    if (lines == 0)
        return fault(1, "the log is empty");
    if (!lastCheckpoint_)
        return fault(1, "the log holds no checkpoint: it was never signed with this key");
    if (!anchorProblem_.empty())
        return fault(lines, anchorProblem_);
    if (anchorLine_ && *anchorLine_ > lines)
        return fault(lines, "the log ends at line " + std::to_string(lines) +
                                ", before the anchor's checkpoint at line " +
                                std::to_string(*anchorLine_) + ": lines were cut");
    ProofVerdict verdict;
    verdict.key = key_.id();
    verdict.checkpoints = checkpoints_;
    verdict.unsealedLines = lines - *lastCheckpoint_;
    if (verdict.unsealedLines > 0)
        verdict.kind = ProofVerdict::Kind::Unsealed;
    return verdict;
}
