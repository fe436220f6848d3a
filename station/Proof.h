#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

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

// Verifies signatures on a thread of its own, beside the reading of the log,
// which takes about as long; at most a few hundred wait their turn.
class SignatureWorker {
  public:
    explicit SignatureWorker(PublicKey key);
    ~SignatureWorker();
    SignatureWorker(const SignatureWorker&) = delete;
    SignatureWorker& operator=(const SignatureWorker&) = delete;

    // Waits while the queue is full.
    void verify(std::size_t line, std::string message, std::string signature);
    // Once every signature given so far is verified: the first line whose
    // signature does not hold.
    std::optional<std::size_t> firstFailure();

  private:
    struct Job {
        std::size_t line;
        std::string message, signature;
    };
    void work();

    const PublicKey key_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool closing_ = false;
    std::optional<std::size_t> failure_;
    std::thread thread_;
};

// Checks a log's records as they are read, holding no more than the last
// checkpoint and the anchor's.
class ProofCheck {
  public:
    ProofCheck(PublicKey key, std::optional<std::string> anchorFolder);

    // Each record in order, as an AuditChain hands it: a checkpoint that does
    // not hold, or a line that is not the anchor's checkpoint, is a problem.
    std::optional<AuditProblem> take(const AuditRecord& record, const AuditChain& chain);
    // The first problem of the log: problem, found while reading at its
    // line, or a signature before it that does not hold.
    AuditProblem firstProblem(const AuditProblem& problem);
    // Once chain has read the whole log without a problem.
    ProofVerdict verdict(const AuditChain& chain);

  private:
    void readAnchor(const std::string& logId);

    PublicKey key_;
    SignatureWorker signatures_;
    std::optional<std::string> anchorFolder_;
    std::optional<std::size_t> lastCheckpoint_;
    std::size_t checkpoints_ = 0;
    // The anchor's checkpoint: its line and signature, or why there is none.
    std::optional<std::size_t> anchorLine_;
    std::string anchorSignature_;
    std::string anchorProblem_;
};

// The anchor's file for a log: "<folder>/<log id>.checkpoint".
std::string anchorFile(const std::string& folder, const std::string& logId);
