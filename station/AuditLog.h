#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/AppError.h"
#include "common/Json.h"
#include "platform/AppendFile.h"
#include "station/Signing.h"

// The station's record: JSON lines, each naming in "prev" the SHA-256 of the
// line before it (its bytes without the line break), or null on the first,
// so that an edit, an insertion or a cut before the last line shows.
inline constexpr int kAuditVersion = 1;

struct AuditRecord {
    std::size_t line;
    Json json;
};

// What a checkpoint signs: the log, the count of lines before it, the
// SHA-256 of the last of them, and the time.
std::string checkpointMessage(const std::string& log, std::size_t records, const std::string& head,
                              const std::string& time);

// The first line that breaks the log: what it is, and its number.
struct AuditProblem {
    std::size_t line;
    std::string message;
    // "line N: message", or "line N was changed…" for a message that goes on
    // from the line's number.
    std::string text() const {
        const std::string number = "line " + std::to_string(line);
        return message.rfind("was ", 0) == 0 ? number + " " + message : number + ": " + message;
    }
};

class AuditChain;

// What a reader does with each record as it is read; a problem stops the
// reading there.
using RecordCheck =
    std::function<std::optional<AuditProblem>(const AuditRecord&, const AuditChain&)>;

// The longest line a log may hold: the station's lines are a few KiB.
inline constexpr std::size_t kLongestAuditLine = 1u << 20;

// Reads a log's bytes in order, checking each whole line and the chain. Bytes
// after the last line break are a torn line (a crash mid-write): not taken.
class AuditChain {
  public:
    // Keeps every record.
    AuditChain() = default;
    // Hands each record to check instead of keeping it, so that a log of any
    // length is read in bounded memory.
    explicit AuditChain(RecordCheck check) : check_(std::move(check)) {}

    // Takes the bytes that follow those taken so far; the first problem, if
    // any, stops the reading there.
    std::optional<AuditProblem> take(std::string_view bytes);

    // Empty when the records are handed to a check.
    const std::vector<AuditRecord>& records() const { return records_; }
    std::size_t lineCount() const { return lines_; }
    // The SHA-256 of the last whole line, or empty before the first.
    const std::string& head() const { return head_; }
    // The log's id: its first record's "log", or for a log of an older
    // version, the first 32 hex digits of its first line's SHA-256.
    const std::string& logId() const { return logId_; }
    // The bytes of whole lines taken, and the torn line's bytes after them.
    std::uint64_t wholeBytes() const { return wholeBytes_; }
    const std::string& torn() const { return pending_; }
    std::size_t nextLine() const { return lines_ + 1; }
    // Forgets the torn line, once it has been cut from the log.
    void dropTorn() { pending_.clear(); }

  private:
    std::optional<AuditProblem> takeLine(std::string_view line);

    RecordCheck check_;
    std::string logId_;
    std::size_t lines_ = 0;
    std::vector<AuditRecord> records_;
    std::string head_;
    std::uint64_t wholeBytes_ = 0;
    std::string pending_;
};

// A failure to open, read, lock or write a log, or the folder beside it.
class LogError : public AppError {
  public:
    LogError(std::string path, const std::string& message)
        : AppError(message), path(std::move(path)) {}
    std::string path;
};

// A log that stations append to, each under the log's lock after reading what
// the others appended. A failure to read, lock or write raises LogError.
class AuditLog {
  public:
    // Opens the log, made when missing. tell receives what a reader must know
    // of it: a torn last line, and where its bytes were put.
    AuditLog(std::string path, std::function<void(const std::string&)> tell);

    // Runs work with the lock held, after taking what others appended; work
    // may append.
    void withLock(const std::function<void()>& work);
    // With the lock held: appends record, its "prev" set; the log's first
    // record also gets the log's id, "log".
    void append(Json record);
    // With the lock held: appends a checkpoint signed with key over every
    // line before it, and returns its line.
    std::string appendCheckpoint(const SecretKey& key);

    std::string id() const { return chain_.logId(); }

    const std::vector<AuditRecord>& records() const { return chain_.records(); }
    const std::string& path() const { return path_; }
    // Where the updater's output of each attempt is kept: "<log>.d".
    std::string outputFolder() const { return path_ + ".d"; }
    // Its name alone, as records give it.
    std::string outputFolderName() const;

  private:
    void catchUp();
    // A torn line is kept in the output folder, then cut from the log, so
    // that the next line starts on a line of its own.
    void setTornLineAside();

    std::string path_;
    std::function<void(const std::string&)> tell_;
    std::unique_ptr<platform::AppendFile> file_;
    AuditChain chain_;
    std::string lastLine_;
    bool locked_ = false;
};
