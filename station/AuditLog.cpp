#include "station/AuditLog.h"

#include <map>
#include <vector>

#include "common/Sha256.h"
#include "common/UtcTime.h"
#include "platform/FileSystem.h"

namespace {

enum class Kind { Text, Count, CountOrNull, NumberOrNull, Flag };

bool hasKind(const Json& value, Kind kind) {
    switch (kind) {
        case Kind::Text:
            return value.is_string();
        case Kind::Count:
            return value.is_number_unsigned();
        case Kind::CountOrNull:
            return value.is_number_unsigned() || value.is_null();
        case Kind::NumberOrNull:
            return value.is_number_integer() || value.is_null();
        case Kind::Flag:
            return value.is_boolean();
    }
    return false;
}

// The members a record of each event must have, as the station reads them.
struct Member {
    const char* name;
    Kind kind;
};
const std::map<std::string, std::vector<Member>>& requiredMembers() {
    static const std::vector<Member> attempt = {{"project", Kind::Text},
                                                {"host", Kind::Text},
                                                {"boot", Kind::Text},
                                                {"pid", Kind::Count},
                                                {"pidStart", Kind::CountOrNull},
                                                {"started", Kind::Text},
                                                {"port", Kind::Text},
                                                {"device", Kind::Text}};
    static const std::map<std::string, std::vector<Member>> members = [] {
        std::map<std::string, std::vector<Member>> all;
        all["start"] = attempt;
        all["updater"] = attempt;
        all["updater"].insert(all["updater"].end(),
                              {{"updaterPid", Kind::Count}, {"updaterStarted", Kind::CountOrNull}});
        all["result"] = attempt;
        all["result"].insert(
            all["result"].end(),
            {{"outcome", Kind::Text}, {"ended", Kind::Text}, {"exitCode", Kind::NumberOrNull}});
        all["hook"] = {{"project", Kind::Text},
                       {"host", Kind::Text},
                       {"boot", Kind::Text},
                       {"pid", Kind::Count},
                       {"pidStart", Kind::CountOrNull},
                       {"started", Kind::Text},
                       {"ended", Kind::Text},
                       {"exitCode", Kind::NumberOrNull},
                       {"timedOut", Kind::Flag}};
        all["checkpoint"] = {{"log", Kind::Text},  {"records", Kind::Count},
                             {"head", Kind::Text}, {"time", Kind::Text},
                             {"key", Kind::Text},  {"signature", Kind::Text}};
        return all;
    }();
    return members;
}

// Members that a record may leave out, but must give right when it has them.
const std::vector<Member>& optionalMembers() {
    static const std::vector<Member> members = {{"imageSha256", Kind::Text},
                                                {"image", Kind::Text},
                                                {"log", Kind::Text},
                                                {"unit", Kind::Text},
                                                {"fixture", Kind::Text}};
    return members;
}

// What a whole line must be, apart from its place in the chain; the first
// thing wrong with it, or nothing.
std::optional<std::string> recordProblem(const Json& record) {
    if (!record.is_object())
        return "not a JSON object";
    if (record.value("version", Json()) != kAuditVersion)
        return "not a record of version 1";
    const Json event = record.value("event", Json());
    const auto& required = requiredMembers();
    const auto members =
        event.is_string() ? required.find(event.get<std::string>()) : required.end();
    if (members == required.end())
        return "no event start, updater, result, hook or checkpoint";
    for (const Member& member : members->second) {
        if (!record.contains(member.name) || !hasKind(record[member.name], member.kind))
            return std::string("its ") + member.name + " is missing or not what the station writes";
    }
    for (const Member& member : optionalMembers()) {
        if (record.contains(member.name) && !hasKind(record[member.name], member.kind))
            return std::string("its ") + member.name + " is not what the station writes";
    }
    return std::nullopt;
}

}  // namespace

std::optional<AuditProblem> AuditChain::take(std::string_view bytes) {
    pending_.append(bytes);
    std::size_t start = 0;
    for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos;
         start = end + 1) {
        if (auto problem = takeLine(std::string_view(pending_.data() + start, end - start)))
            return problem;
    }
    pending_.erase(0, start);
    if (pending_.size() > kLongestAuditLine)
        return AuditProblem{nextLine(), "longer than 1 MiB: not a line of the station's"};
    return std::nullopt;
}

std::optional<AuditProblem> AuditChain::takeLine(std::string_view line) {
    const std::size_t number = nextLine();
    Json record = Json::parse(line, nullptr, false);
    if (record.is_discarded())
        return AuditProblem{number, "not a JSON line"};
    if (const auto problem = recordProblem(record))
        return AuditProblem{number, *problem};
    const Json prev = record.value("prev", Json());
    if (head_.empty() && !prev.is_null())
        return AuditProblem{number, "prev is not null on the first line"};
    if (!head_.empty() && prev != head_)
        return AuditProblem{number - 1, "was changed or removed: line " + std::to_string(number) +
                                            " does not follow it"};
    head_ = sha256Hex(line);
    // A log of an older version has no id of its own: its first line's digest stands in.
    if (number == 1)
        logId_ = record.contains("log") ? record["log"].get<std::string>() : head_.substr(0, 32);
    wholeBytes_ += line.size() + 1;
    ++lines_;
    AuditRecord taken{number, std::move(record)};
    if (!check_) {
        records_.push_back(std::move(taken));
        return std::nullopt;
    }
    return check_(taken, *this);
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
        throw LogError(path_, problem->text());
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

std::string checkpointMessage(const std::string& log, std::size_t records, const std::string& head,
                              const std::string& time) {
    return "tarvel-checkpoint 1\n" + log + "\n" + std::to_string(records) + "\n" + head + "\n" +
           time + "\n";
}

std::string AuditLog::appendCheckpoint(const SecretKey& key) {
    const std::string log = chain_.logId();
    const std::size_t count = chain_.lineCount();
    const std::string time = isoUtc(utcNowMs());
    append(
        Json{{"version", kAuditVersion},
             {"event", "checkpoint"},
             {"log", log},
             {"records", count},
             {"head", chain_.head()},
             {"time", time},
             {"key", key.publicKey().id()},
             {"signature", signatureHex(key, checkpointMessage(log, count, chain_.head(), time))}});
    return lastLine_;
}

void AuditLog::append(Json record) {
    if (chain_.lineCount() == 0 && !record.contains("log"))
        record["log"] = randomId();
    record["prev"] = chain_.head().empty() ? Json() : Json(chain_.head());
    // Invalid UTF-8 (an updater's output) is replaced, never refused.
    const std::string line = record.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string reason;
    if (!locked_ || !file_->append(line + "\n", reason))
        throw LogError(path_, "cannot write the log: " + reason);
    chain_.take(line + "\n");
    lastLine_ = line;
}

std::string AuditLog::outputFolderName() const {
    const auto parent = platform::parentFolder(path_);
    return (parent ? path_.substr(parent->size() + 1) : path_) + ".d";
}
