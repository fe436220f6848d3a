// ports and update: the COM ports and the updater.
#include "cli/Cli.h"
#include "platform/FileSystem.h"
#include "platform/SerialNames.h"
#include "project/ProjectPaths.h"
#include "station/Attempt.h"
#include "station/Records.h"
#include "update/ComPortDiscovery.h"
#include "update/CommInt.h"
#include "update/PortConnection.h"
#include "update/PortDescription.h"
#include "update/UpdaterCommandLine.h"

int portsCommand(Cli& cli) {
    cli.arguments.operands(0);
    Json list = Json::array();
    bool noAccess = false;
    for (const ComPortState& port : probeComPorts(*cli.environment.serial)) {
        const std::string name = "COM" + std::to_string(port.number);
        const std::string state = port.held ? platform::unopenablePortState(name) : "free";
        noAccess = noAccess || state == "no access";
        const auto adapter = platform::serialAdapterFor(name);
        list.push_back({{"name", name},
                        {"device", platform::portDevicePath(port.number)},
                        {"state", state},
                        {"description", adapter ? adapterSummary(*adapter) : ""},
                        {"adapter", adapterJson(adapter)}});
    }
    if (cli.json()) {
        cli.printJson({{"ports", list}});
        return 0;
    }
    for (const Json& port : list) {
        cli.out << port["name"].get<std::string>() << "  " << port["device"].get<std::string>()
                << "  " << port["state"].get<std::string>();
        if (const std::string description = port["description"]; !description.empty())
            cli.out << "  " << description;
        cli.out << '\n';
    }
    if (noAccess)
        cli.tell("hint", kNoAccessHint);
    return 0;
}

int updateCommand(Cli& cli) {
    const Arguments& arguments = cli.arguments;
    UpdateOptions options;
    options.firmware = !arguments.flag("--no-firmware");
    options.readFirmware = !arguments.flag("--no-read-firmware");
    options.project = !arguments.flag("--no-project");
    options.readProject = !arguments.flag("--no-read-project");
    const std::string name = arguments.operands(1).front();
    const auto port = arguments.option("--port");
    if (!port)
        arguments.refuse("--port is needed");
    const std::string folder = cli.projectFolder(name);
    // Without a document the image is its head alone: never written into a device.
    if (options.project && !platform::entryExists(ProjectPaths(folder).generalParameters))
        throw CliError{name, std::string("has no ") + kGeneralParameterFile +
                                 ", so there is no project to write"};
    // Locked until the updater has read the image.
    const WrittenImage image = writeImageForUpdater(folder, name, cli.environment.lockPause);
    for (const std::string& truncation : image.truncations) cli.tell(name, truncation);

    // As the wizard names them when it shows.
    for (const std::string& missing : missingUpdaterFiles(cli.workspace.root))
        cli.tell(name, missing);

    // The port test of Connect, then the port is released for the updater.
    try {
        testPort(cli.environment.serial, *port);
    } catch (const ECommError& e) {
        throw CliError{*port, std::string(kPortCannotBeOpened) + " " +
                                  portErrorInWords(*port, platform::devicePathForName(*port), e)};
    }

    WaitSettings settings = cli.environment.wait;
    // Standard output carries the JSON alone.
    settings.outputToStandardError = cli.json();
    std::uint32_t shownSeconds = 0;
    if (cli.environment.progressOnTerminal && !cli.json()) {
        settings.whileWaiting = [&](std::uint32_t elapsedMs) {
            if (elapsedMs / 1000 == shownSeconds && elapsedMs != 0)
                return;
            shownSeconds = elapsedMs / 1000;
            cli.err << '\r' << runningText(elapsedMs) << std::flush;
        };
    }
    const RunOutcome outcome = runUpdater(cli.workspace.root, *port, options, folder, settings);
    if (cli.environment.progressOnTerminal && !cli.json())
        cli.err << "\r\x1b[K" << std::flush;
    if (!outcome.launchError.empty())
        cli.tell(name, outcome.launchError);
    const bool succeeded = outcome.kind == RunOutcome::Kind::Ended && outcome.exitCode == 0;
    const std::string text = outcomeText(outcome);
    if (cli.json()) {
        static const char* const kKinds[] = {"not started", "ended", "still running",
                                             "left running"};
        Json object = {{"name", name},
                       {"port", *port},
                       {"outcome", kKinds[static_cast<int>(outcome.kind)]},
                       {"text", text}};
        if (outcome.kind == RunOutcome::Kind::Ended)
            object["exitCode"] = outcome.exitCode;
        cli.printJson(object);
    } else if (succeeded) {
        cli.out << text << '\n';
    }
    if (!succeeded)
        cli.tell(name, text);
    return succeeded ? 0 : 1;
}
