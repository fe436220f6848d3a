// The station's options, read into the engine's settings.
#include "cli/StationOptions.h"

#include "cli/Cli.h"
#include "common/Csv.h"
#include "common/IntegerText.h"
#include "platform/FileSystem.h"
#include "station/AuditLog.h"
#include "station/BenchFile.h"

namespace {

constexpr const char* kDefaultWatchFolder = "/dev/serial/by-id";

std::vector<Fixture> readFixtures(Cli& cli, const std::string& file) {
    try {
        return readBenchFile(cli.readFileOrInput(file));
    } catch (const CsvError& e) {
        throw CliError::aboutFile(file, "line " + std::to_string(e.line) + ": " + e.what());
    }
}

}  // namespace

StationSettings readStationSettings(Cli& cli, const std::string& queueFile) {
    const Arguments& arguments = cli.arguments;
    if (cli.json())
        arguments.refuse("station takes no --json: its record is the audit log");
    StationSettings settings;
    settings.port = arguments.option("--port").value_or("");
    const bool waitPort = arguments.flag("--wait-port");
    const auto bench = arguments.option("--fixtures");
    if (int(waitPort) + int(!settings.port.empty()) + int(bench.has_value()) != 1)
        arguments.refuse("give one of --port, --wait-port and --fixtures");
    if (bench)
        settings.fixtures = readFixtures(cli, *bench);
    if (arguments.option("--watch") && !waitPort)
        arguments.refuse("--watch goes with --wait-port");
    settings.watchFolder = arguments.option("--watch").value_or(kDefaultWatchFolder);
    settings.options.firmware = !arguments.flag("--no-firmware");
    settings.options.readFirmware = !arguments.flag("--no-read-firmware");
    settings.options.project = !arguments.flag("--no-project");
    settings.options.readProject = !arguments.flag("--no-read-project");
    settings.yes = arguments.flag("--yes");
    if (const auto unit = arguments.option("--unit")) {
        if (*unit != "ask")
            arguments.refuse("--unit takes ask");
        if (settings.yes)
            arguments.refuse("--unit ask needs an operator: it goes without --yes");
        if (bench)
            arguments.refuse("--unit ask goes with one port, not with --fixtures");
        settings.askUnit = true;
    }
    if (const auto retries = arguments.option("--retries")) {
        const auto count = tryParseInteger(*retries);
        if (!count || *count < 0 || *count > 1000)
            arguments.refuse("--retries takes a number from 0 to 1000");
        settings.retries = static_cast<int>(*count);
    }
    settings.onResult = arguments.option("--on-result").value_or("");
    if (const auto limit = arguments.option("--on-result-timeout")) {
        const auto seconds = tryParseInteger(*limit);
        if (!seconds || *seconds < 1 || *seconds > 86400)
            arguments.refuse("--on-result-timeout takes a number of seconds from 1 to 86400");
        if (settings.onResult.empty())
            arguments.refuse("--on-result-timeout goes with --on-result");
        settings.onResultTimeoutMs = static_cast<unsigned>(*seconds) * 1000;
    }
    settings.redo = arguments.option("--redo").value_or("");
    settings.redoOutdated = arguments.flag("--redo-outdated");
    settings.queueFile = queueFile;
    const bool csv =
        queueFile.size() > 4 && queueFile.compare(queueFile.size() - 4, 4, ".csv") == 0;
    const std::string stem = csv ? queueFile.substr(0, queueFile.size() - 4) : queueFile;
    settings.logPath = arguments.option("--log").value_or(stem + ".audit.jsonl");
    if (queueFile == "-" && !arguments.option("--log"))
        arguments.refuse("a queue from standard input needs --log");
    if (const auto key = arguments.option("--key")) {
        try {
            settings.key = readSecretKey(*key);
            settings.keyFile = *key;
        } catch (const AppError& e) {
            throw CliError::aboutFile(*key, e.what());
        }
    }
    settings.anchorFolder = arguments.option("--anchor").value_or("");
    if (!settings.anchorFolder.empty() && !settings.key)
        arguments.refuse("--anchor goes with --key");
    if (!settings.anchorFolder.empty() && !platform::folderExists(settings.anchorFolder))
        throw CliError::aboutFile(settings.anchorFolder, "no such folder for the anchor");
    // Two benches on two hosts could both claim a row where a network file
    // system does not pass the log's lock on.
    const std::string logFolder = platform::parentFolder(settings.logPath).value_or(".");
    if (const auto network = platform::networkFileSystem(logFolder)) {
        if (!arguments.flag("--shared-log"))
            throw CliError::aboutFile(settings.logPath,
                                      "the log is on " + *network +
                                          ", where locks may not hold across hosts: keep one log "
                                          "per bench on a local disk, or give --shared-log");
        cli.tellAboutFile(settings.logPath,
                          "the log is on " + *network + ": locks there may not hold across hosts");
    }
    settings.serial = cli.environment.serial;
    settings.wait = cli.environment.wait;
    settings.lockPause = cli.environment.lockPause;
    settings.claimFolder = cli.environment.claimFolder;
    settings.systemRoot = cli.environment.systemRoot;
    settings.deviceRoot = cli.environment.deviceRoot;
    return settings;
}

BenchOptions readBenchOptions(Cli& cli) {
    const Arguments& arguments = cli.arguments;
    BenchOptions options;
    options.eventsFile = arguments.option("--events").value_or("");
    const auto ui = arguments.option("--ui");
    if (ui && *ui != "lines" && *ui != "table")
        arguments.refuse("--ui takes lines or table");
    options.plainLines = ui == "lines";
    if ((ui || !options.eventsFile.empty()) && !arguments.option("--fixtures"))
        arguments.refuse("--events and --ui go with --fixtures");
    return options;
}
