// audit: checks a station's log and tells each project's last outcome;
// keygen: the key pair that signs it.
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

#include "cli/Cli.h"
#include "cli/Csv.h"
#include "cli/ImageReport.h"
#include "common/HexBytes.h"
#include "platform/FileSystem.h"
#include "station/AuditLog.h"
#include "station/Proof.h"

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

// A project's last state: the result's outcome, or "unfinished" while an
// attempt runs or after a station died before its result; with the count of
// its attempts and of those that failed. exitCode and adapter keep the log's
// own values for --json.
struct Entry {
    std::string project, outcome, time, port, adapter, image, exitCode, unit, updaterSha256,
        masterSha256;
    Json exitCodeValue, adapterValue;
    std::size_t attempts = 0, failures = 0;
};

Entry entryOf(const Json& record) {
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

// The updater and master file that starts used from a time on.
struct Tools {
    std::string from, updaterSha256, masterSha256;
    bool operator==(const Tools& other) const {
        return updaterSha256 == other.updaterSha256 && masterSha256 == other.masterSha256;
    }
};

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
            Tools used{text(record["started"]), text(record["updaterSha256"]),
                       text(record.value("masterSha256", Json()))};
            if (tools_.empty() || !(tools_.back() == used))
                tools_.push_back(std::move(used));
        }
        const auto [found, added] = at_.emplace(record["project"], entries_.size());
        if (added)
            entries_.emplace_back();
        Entry& entry = entries_[found->second];
        const std::size_t attempts = entry.attempts + (event == "start" ? 1 : 0);
        const std::size_t failures = entry.failures;
        entry = entryOf(record);
        entry.attempts = attempts;
        entry.failures = failures + (event == "result" && isFailure(entry.outcome) ? 1 : 0);
        if (history_ && event == "result")
            results_.push_back(entry);
    }
    // The last states, or with history every result.
    const std::vector<Entry>& entries() const { return history_ ? results_ : entries_; }
    const std::vector<Tools>& tools() const { return tools_; }

    // Each row of the queue that the log does not name yet, as pending, in
    // the queue's order before the rest.
    void addPendingRows(const std::vector<std::string>& queue) {
        std::vector<Entry> ordered;
        for (const std::string& project : queue) {
            const auto found = at_.find(project);
            if (found == at_.end()) {
                Entry pending;
                pending.project = project;
                pending.outcome = "pending";
                ordered.push_back(pending);
            } else {
                ordered.push_back(entries_[found->second]);
            }
        }
        const std::set<std::string> inQueue(queue.begin(), queue.end());
        for (const Entry& entry : entries_)
            if (!inQueue.count(entry.project))
                ordered.push_back(entry);
        entries_ = std::move(ordered);
    }

  private:
    bool history_;
    std::vector<Entry> entries_;
    std::vector<Entry> results_;
    std::vector<Tools> tools_;
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

// The projects a queue names, in its order.
std::vector<std::string> queueProjects(Cli& cli, const std::string& file) {
    std::vector<std::string> projects;
    try {
        const std::vector<CsvRow> rows = parseCsv(cli.readFileOrInput(file));
        if (rows.empty() || rows.front().cells.empty() || rows.front().cells.front() != "name")
            throw CsvError{1, "the first column must be name"};
        for (auto row = rows.begin() + 1; row != rows.end(); ++row)
            projects.push_back(row->cells.front());
    } catch (const CsvError& e) {
        throw CliError::aboutFile(file, "line " + std::to_string(e.line) + ": " + e.what());
    }
    return projects;
}

// 3 when lines after the last checkpoint are not sealed yet (a station at
// work, or killed), 0 otherwise.
int unsealed(Cli& cli, const std::string& file, const std::optional<ProofVerdict>& proof) {
    if (!proof || proof->kind != ProofVerdict::Kind::Unsealed)
        return 0;
    const std::size_t lines = proof->unsealedLines;
    cli.tellAboutFile(file,
                      std::to_string(lines) +
                          (lines == 1 ? " line after the last checkpoint is not sealed yet"
                                      : " lines after the last checkpoint are not sealed yet"));
    return 3;
}

}  // namespace

int auditCommand(Cli& cli) {
    const std::string file = cli.arguments.operands(1).front();
    const bool csv = cli.arguments.flag("--csv");
    if (csv && cli.json())
        cli.arguments.refuse("give --json or --csv, not both");
    const auto keyFile = cli.arguments.option("--key");
    const auto anchor = cli.arguments.option("--anchor");
    if (anchor && !keyFile)
        cli.arguments.refuse("--anchor goes with --key");
    std::optional<ProofCheck> proof;
    if (keyFile)
        proof.emplace(readPublicKey(*keyFile), anchor);
    // Read a piece at a time, each record checked and let go: a log of any
    // length takes little memory.
    States last(cli.arguments.flag("--history"));
    AuditChain chain([&](const AuditRecord& record, const AuditChain& read) {
        last.take(record.json);
        return proof ? proof->take(record, read) : std::nullopt;
    });
    std::optional<AuditProblem> problem;
    std::string message;
    if (!platform::readFileInPieces(
            file, UINT64_MAX,
            [&](std::string_view piece) { return !(problem = chain.take(piece)); }, &message))
        throw CliError::aboutFile(file, "cannot read the log: " + message);
    if (problem)
        throw CliError::aboutFile(file, (proof ? proof->firstProblem(*problem) : *problem).text());
    if (const auto queue = cli.arguments.option("--queue")) {
        if (cli.arguments.flag("--history"))
            cli.arguments.refuse("give --queue or --history, not both");
        last.addPendingRows(queueProjects(cli, *queue));
    }
    std::optional<ProofVerdict> verdict;
    if (proof) {
        verdict = proof->verdict(chain);
        if (verdict->kind == ProofVerdict::Kind::Fault)
            throw CliError::aboutFile(
                file, "line " + std::to_string(verdict->line) + ": " + verdict->message);
    } else {
        cli.tellAboutFile(file,
                          "checked without --key: an unsigned chain proves only that the log "
                          "was not edited naively");
        if (!chain.torn().empty())
            cli.tellAboutFile(file, "line " + std::to_string(chain.nextLine()) +
                                        " is torn (a crash while it was written); ignored");
    }

    const std::vector<Entry>& entries = last.entries();
    if (cli.json()) {
        Json projects = Json::array();
        for (const Entry& e : entries)
            projects.push_back({{"project", e.project},
                                {"outcome", e.outcome},
                                {"time", e.time},
                                {"port", e.port},
                                {"adapter", e.adapterValue},
                                {"image", e.image},
                                {"exitCode", e.exitCodeValue},
                                {"unit", e.unit.empty() ? Json() : Json(e.unit)},
                                {"attempts", e.attempts},
                                {"failures", e.failures}});
        Json tools = Json::array();
        for (const Tools& t : last.tools())
            tools.push_back({{"from", t.from},
                             {"updaterSha256", t.updaterSha256},
                             {"masterSha256", t.masterSha256}});
        cli.printJson({{"records", chain.lineCount()},
                       {"tools", tools},
                       {"head", chain.head().empty() ? Json() : Json(chain.head())},
                       {"signed", verdict.has_value()},
                       {"projects", projects}});
        return unsealed(cli, file, verdict);
    }
    if (csv) {
        std::vector<std::string> header = {"project", "outcome",  "time", "port",     "adapter",
                                           "image",   "exitCode", "unit", "attempts", "failures"};
        for (const std::string& name : imageParameterNames()) header.push_back(name);
        header.insert(header.end(), {"updaterSha256", "masterSha256"});
        cli.out << csvLine(header);
        for (const Entry& e : entries) {
            std::vector<std::string> cells = {e.project, e.outcome, e.time,     e.port,
                                              e.adapter, e.image,   e.exitCode, e.unit};
            for (std::string& cell : cells) cell = spreadsheetText(cell);
            cells.push_back(std::to_string(e.attempts));
            cells.push_back(std::to_string(e.failures));
            const auto bytes = bytesFromHex(withoutBlanks(e.image));
            for (const std::string& value : imageParameterTexts(bytes.value_or("")))
                cells.push_back(value);
            cells.insert(cells.end(), {e.updaterSha256, e.masterSha256});
            cli.out << csvLine(cells);
        }
        return unsealed(cli, file, verdict);
    }
    for (const Entry& e : entries) {
        cli.out << e.project << "  " << e.outcome << "  " << e.time << "  " << e.port;
        if (!e.adapter.empty())
            cli.out << "  (" << e.adapter << ")";
        cli.out << "  " << e.image;
        if (!e.unit.empty())
            cli.out << "  unit " << e.unit;
        if (!cli.arguments.flag("--history"))
            cli.out << "  " << e.attempts << (e.attempts == 1 ? " attempt, " : " attempts, ")
                    << e.failures << (e.failures == 1 ? " failure" : " failures");
        cli.out << '\n';
    }
    // Once per change: what wrote the converters from then on.
    for (const Tools& t : last.tools())
        cli.out << "from " << t.from << ": updater SHA-256 "
                << (t.updaterSha256.empty() ? "missing" : t.updaterSha256)
                << ", master file SHA-256 " << (t.masterSha256.empty() ? "missing" : t.masterSha256)
                << '\n';
    cli.out << chain.lineCount() << " records, chain whole";
    if (verdict)
        cli.out << ", " << verdict->checkpoints << " checkpoints signed by key " << verdict->key;
    cli.out << "; last line's SHA-256 " << (chain.head().empty() ? "none" : chain.head()) << '\n';
    return unsealed(cli, file, verdict);
}

int keygenCommand(Cli& cli) {
    const std::string file = cli.arguments.operands(1).front();
    try {
        generateKeyFiles(file);
    } catch (const AppError& e) {
        throw CliError::aboutFile(file, e.what());
    }
    const PublicKey key = readPublicKey(file + ".pub");
    cli.err << "tarvel-cli: made the key pair " << file << " and " << file << ".pub (key "
            << key.id() << ")\n";
    return 0;
}
