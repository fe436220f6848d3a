#include "station/AuditLog.h"

#include <set>

#include "common/Sha256.h"
#include "common/UtcTime.h"
#include "platform/FileSystem.h"

namespace {

// What a whole line must be; the first thing wrong with it, or nothing.
std::optional<std::string> lineProblem(const Json& record, const std::string& head) {
    static const std::set<std::string> kEvents = {"start", "updater", "result"};
    if (!record.is_object())
        return "not a JSON object";
    if (record.value("version", 0) != kAuditVersion)
        return "not a record of version 1";
    if (!record.contains("event") || !record["event"].is_string() ||
        !kEvents.count(record["event"].get<std::string>()))
        return "no event start, updater or result";
    if (!record.contains("project") || !record["project"].is_string())
        return "no project";
    const Json& prev = record.contains("prev") ? record["prev"] : Json();
    if (head.empty() ? !prev.is_null() : prev != head)
        return head.empty() ? "prev is not null on the first line"
                            : "the chain is broken: prev is not the SHA-256 of the line before "
                              "(that line or this one was changed, or a line was cut or added)";
    return std::nullopt;
}

}  // namespace

std::optional<AuditProblem> AuditChain::take(std::string_view bytes) {
    pending_.append(bytes);
    std::size_t start = 0;
    for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string_view line(pending_.data() + start, end - start);
        const std::size_t number = nextLine();
        Json record = Json::parse(line, nullptr, false);
        if (record.is_discarded())
            return AuditProblem{number, "not a JSON line"};
        if (const auto problem = lineProblem(record, head_))
            return AuditProblem{number, *problem};
        head_ = sha256Hex(line);
        wholeBytes_ += line.size() + 1;
        records_.push_back({number, std::move(record)});
    }
    pending_.erase(0, start);
    return std::nullopt;
}

AuditLog::AuditLog(std::string path, std::function<void(const std::string&)> tell)
    : path_(std::move(path)), tell_(std::move(tell)) {
    std::string reason;
    file_ = platform::AppendFile::open(path_, reason);
    if (!file_)
        throw LogError(path_, "cannot open the log: " + reason);
    // Checked now, before any converter: each attempt's output goes there.
    if (!platform::ensureFolder(outputFolder(), &reason))
        throw LogError(outputFolder(), "cannot keep the updater's output: " + reason);
}

void AuditLog::withLock(const std::function<void()>& work) {
    std::string reason;
    platform::AppendFileLock lock(*file_);
    if (!lock.take(reason))
        throw LogError(path_, "cannot lock the log: " + reason);
    locked_ = true;
    try {
        catchUp();
        work();
    } catch (...) {
        locked_ = false;
        throw;
    }
    locked_ = false;
}

void AuditLog::catchUp() {
    // What this station read and wrote is still there, in the file it has
    // open, at the log's path: else the log was deleted, replaced or cut.
    const auto size = file_->size();
    if (!file_->isAt(path_) || !size || *size < chain_.wholeBytes() + chain_.torn().size())
        throw LogError(path_,
                       "the log was deleted, replaced or cut while the station ran; "
                       "no further converter is written");
    std::string bytes;
    std::string reason;
    if (!file_->readFrom(chain_.wholeBytes() + chain_.torn().size(), bytes, reason))
        throw LogError(path_, "cannot read the log: " + reason);
    if (const auto problem = chain_.take(bytes))
        throw LogError(path_, "line " + std::to_string(problem->line) + ": " + problem->message);
    // Under the lock every line is appended whole: a part line is torn.
    if (!chain_.torn().empty())
        setTornLineAside();
}

void AuditLog::setTornLineAside() {
    const std::string folder = outputFolder();
    const std::string kept = folder + platform::kPathSeparator + "torn-line-" +
                             std::to_string(chain_.nextLine()) + "-" + std::to_string(utcNowMs()) +
                             ".txt";
    std::string reason;
    if (!platform::replaceFileContents(kept, chain_.torn(), &reason))
        throw LogError(path_, "cannot keep its torn last line in " + kept + ": " + reason);
    if (!file_->truncate(chain_.wholeBytes(), reason))
        throw LogError(path_, "cannot cut its torn last line: " + reason);
    tell_("line " + std::to_string(chain_.nextLine()) +
          " is torn (a crash while it was written); ignored, and kept in " + kept);
    chain_.dropTorn();
}

void AuditLog::append(Json record) {
    record["prev"] = chain_.head().empty() ? Json() : Json(chain_.head());
    // Invalid UTF-8 (an updater's output) is replaced, never refused.
    const std::string line = record.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string reason;
    if (!locked_ || !file_->append(line + "\n", reason))
        throw LogError(path_, "cannot write the log: " + reason);
    chain_.take(line + "\n");
}

std::string AuditLog::outputFolderName() const {
    const auto parent = platform::parentFolder(path_);
    return (parent ? path_.substr(parent->size() + 1) : path_) + ".d";
}
