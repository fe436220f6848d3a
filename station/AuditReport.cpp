#include "station/AuditReport.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

#include "common/Csv.h"
#include "common/HexBytes.h"
#include "platform/FileSystem.h"
#include "station/AuditLog.h"
#include "station/ImageReport.h"

namespace {

std::string text(const Json& value) {
    return value.is_string() ? value.get<std::string>() : value.is_null() ? "" : value.dump();
}

// What an operator reads of an adapter: its description and serial, or its
// place on the bus.
std::string adapterText(const Json& adapter) {
    if (!adapter.is_object())
        return "";
    std::string words = text(adapter.value("description", Json()));
    const std::string serial = text(adapter.value("serial", Json()));
    const std::string place = text(adapter.value("usbPath", Json()));
    const std::string which = !serial.empty() ? "serial " + serial
                              : place.empty() ? ""
                                              : "at " + place;
    return words.empty() ? which : which.empty() ? words : words + ", " + which;
}

AuditEntry entryOf(const Json& record) {
    const bool result = record["event"] == "result";
    const Json exitCode = result ? record.value("exitCode", Json()) : Json();
    return {record["project"],
            result ? text(record.value("outcome", Json())) : "unfinished",
            text(record.value(result ? "ended" : "started", Json())),
            text(record.value("port", Json())),
            adapterText(record.value("adapter", Json())),
            text(record.value("image", Json())),
            text(exitCode),
            text(record.value("unit", Json())),
            text(record.value("updaterSha256", Json())),
            text(record.value("masterSha256", Json())),
            exitCode,
            record.value("adapter", Json())};
}

bool isFailure(const std::string& outcome) {
    return outcome == "failed" || outcome == "port-error" || outcome == "timeout";
}

// Each project's last state, in the order projects first appear; with
// history, every result too; and each change of the tools.
class States {
  public:
    explicit States(bool history) : history_(history) {}

    void take(const Json& record) {
        const std::string event = record["event"];
        if (event == "checkpoint" || event == "hook")
            return;
        if (event == "start" && record.contains("updaterSha256")) {
            AuditTools used{text(record["started"]), text(record["updaterSha256"]),
                            text(record.value("masterSha256", Json()))};
            if (tools_.empty() || !(tools_.back() == used))
                tools_.push_back(std::move(used));
        }
        const auto [found, added] = at_.emplace(record["project"], entries_.size());
        if (added)
            entries_.emplace_back();
        AuditEntry& entry = entries_[found->second];
        const std::size_t attempts = entry.attempts + (event == "start" ? 1 : 0);
        const std::size_t failures = entry.failures;
        entry = entryOf(record);
        entry.attempts = attempts;
        entry.failures = failures + (event == "result" && isFailure(entry.outcome) ? 1 : 0);
        if (history_ && event == "result")
            results_.push_back(entry);
    }
    // The last states, or with history every result.
    const std::vector<AuditEntry>& entries() const { return history_ ? results_ : entries_; }
    const std::vector<AuditTools>& tools() const { return tools_; }

    // Each row of the queue that the log does not name yet, as pending, in
    // the queue's order before the rest.
    void addPendingRows(const std::vector<std::string>& queue) {
        std::vector<AuditEntry> ordered;
        for (const std::string& project : queue) {
            const auto found = at_.find(project);
            if (found == at_.end()) {
                AuditEntry pending;
                pending.project = project;
                pending.outcome = "pending";
                ordered.push_back(pending);
            } else {
                ordered.push_back(entries_[found->second]);
            }
        }
        const std::set<std::string> inQueue(queue.begin(), queue.end());
        for (const AuditEntry& entry : entries_)
            if (!inQueue.count(entry.project))
                ordered.push_back(entry);
        entries_ = std::move(ordered);
    }

  private:
    bool history_;
    std::vector<AuditEntry> entries_;
    std::vector<AuditEntry> results_;
    std::vector<AuditTools> tools_;
    std::map<std::string, std::size_t> at_;
};

// A cell that a spreadsheet would take for a formula stays text.
std::string spreadsheetText(const std::string& cell) {
    return !cell.empty() && std::string("=+-@\t\r").find(cell.front()) != std::string::npos
               ? "'" + cell
               : cell;
}

std::string withoutBlanks(std::string text) {
    std::erase(text, ' ');
    return text;
}

}  // namespace

AuditReading readAudit(const AuditRequest& request) {
    std::optional<ProofCheck> proof;
    if (request.key)
        proof.emplace(*request.key, request.anchorFolder);
    States last(request.history);
    AuditChain chain([&](const AuditRecord& record, const AuditChain& read) {
        last.take(record.json);
        return proof ? proof->take(record, read) : std::nullopt;
    });
    std::optional<AuditProblem> problem;
    std::string message;
    if (!platform::readFileInPieces(
            request.logFile, UINT64_MAX,
            [&](std::string_view piece) { return !(problem = chain.take(piece)); }, &message))
        throw AuditFault(0, "cannot read the log: " + message);
    if (problem) {
        const AuditProblem first = proof ? proof->firstProblem(*problem) : *problem;
        throw AuditFault(first.line, first.text());
    }
    if (!request.queueProjects.empty())
        last.addPendingRows(request.queueProjects);
    AuditReading reading;
    if (proof) {
        reading.verdict = proof->verdict(chain);
        if (reading.verdict->kind == ProofVerdict::Kind::Fault)
            throw AuditFault(
                reading.verdict->line,
                "line " + std::to_string(reading.verdict->line) + ": " + reading.verdict->message);
    } else if (!chain.torn().empty()) {
        reading.tornLine = chain.nextLine();
    }
    reading.entries = last.entries();
    reading.tools = last.tools();
    reading.records = chain.lineCount();
    reading.head = chain.head();
    return reading;
}

std::string auditCsv(const std::vector<AuditEntry>& entries) {
    std::vector<std::string> header = {"project", "outcome",  "time", "port",     "adapter",
                                       "image",   "exitCode", "unit", "attempts", "failures"};
    for (const std::string& name : imageParameterNames()) header.push_back(name);
    header.insert(header.end(), {"updaterSha256", "masterSha256"});
    std::string text = csvLine(header);
    for (const AuditEntry& e : entries) {
        std::vector<std::string> cells = {e.project, e.outcome, e.time,     e.port,
                                          e.adapter, e.image,   e.exitCode, e.unit};
        for (std::string& cell : cells) cell = spreadsheetText(cell);
        cells.push_back(std::to_string(e.attempts));
        cells.push_back(std::to_string(e.failures));
        const auto bytes = bytesFromHex(withoutBlanks(e.image));
        for (const std::string& value : imageParameterTexts(bytes.value_or("")))
            cells.push_back(value);
        cells.insert(cells.end(), {e.updaterSha256, e.masterSha256});
        text += csvLine(cells);
    }
    return text;
}
