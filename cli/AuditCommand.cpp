// audit: checks a station's log and tells each project's last outcome;
// keygen: the key pair that signs it.
#include "cli/Cli.h"
#include "common/Csv.h"
#include "station/AuditReport.h"

namespace {

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
    const bool history = cli.arguments.flag("--history");
    const auto queue = cli.arguments.option("--queue");
    if (queue && history)
        cli.arguments.refuse("give --queue or --history, not both");
    AuditRequest request{file, std::nullopt, anchor, history, {}};
    if (keyFile)
        request.key = readPublicKey(*keyFile);
    if (queue)
        request.queueProjects = queueProjects(cli, *queue);
    AuditReading reading;
    try {
        reading = readAudit(request);
    } catch (const AuditFault& e) {
        throw CliError::aboutFile(file, e.what());
    }
    const std::optional<ProofVerdict>& verdict = reading.verdict;
    if (!verdict) {
        cli.tellAboutFile(file,
                          "checked without --key: an unsigned chain proves only that the log "
                          "was not edited naively");
        if (reading.tornLine)
            cli.tellAboutFile(file, "line " + std::to_string(*reading.tornLine) +
                                        " is torn (a crash while it was written); ignored");
    }

    const std::vector<AuditEntry>& entries = reading.entries;
    if (cli.json()) {
        Json projects = Json::array();
        for (const AuditEntry& e : entries)
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
        for (const AuditTools& t : reading.tools)
            tools.push_back({{"from", t.from},
                             {"updaterSha256", t.updaterSha256},
                             {"masterSha256", t.masterSha256}});
        cli.printJson({{"records", reading.records},
                       {"tools", tools},
                       {"head", reading.head.empty() ? Json() : Json(reading.head)},
                       {"signed", verdict.has_value()},
                       {"projects", projects}});
        return unsealed(cli, file, verdict);
    }
    if (csv) {
        cli.out << auditCsv(entries);
        return unsealed(cli, file, verdict);
    }
    for (const AuditEntry& e : entries) {
        cli.out << e.project << "  " << e.outcome << "  " << e.time << "  " << e.port;
        if (!e.adapter.empty())
            cli.out << "  (" << e.adapter << ")";
        cli.out << "  " << e.image;
        if (!e.unit.empty())
            cli.out << "  unit " << e.unit;
        if (!history)
            cli.out << "  " << e.attempts << (e.attempts == 1 ? " attempt, " : " attempts, ")
                    << e.failures << (e.failures == 1 ? " failure" : " failures");
        cli.out << '\n';
    }
    // Once per change: what wrote the converters from then on.
    for (const AuditTools& t : reading.tools)
        cli.out << "from " << t.from << ": updater SHA-256 "
                << (t.updaterSha256.empty() ? "missing" : t.updaterSha256)
                << ", master file SHA-256 " << (t.masterSha256.empty() ? "missing" : t.masterSha256)
                << '\n';
    cli.out << reading.records << " records, chain whole";
    if (verdict)
        cli.out << ", " << verdict->checkpoints << " checkpoints signed by key " << verdict->key;
    cli.out << "; last line's SHA-256 " << (reading.head.empty() ? "none" : reading.head) << '\n';
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
