#include "app/CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "app/FolderUtils.h"
#include "app/NewProject.h"
#include "app/ProjectLock.h"
#include "app/ProjectNames.h"
#include "app/Version.h"
#include "app/Workspace.h"
#include "common/AppError.h"
#include "common/ReportText.h"
#include "documents/GeneralParameters.h"
#include "documents/XmlDocument.h"
#include "image/ParameterImage.h"
#include "platform/FileSystem.h"
#include "platform/SerialNames.h"
#include "update/ComPortDiscovery.h"
#include "update/CommInt.h"
#include "update/UpdaterCommandLine.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr const char* kUsage =
    "Usage: tarvel-cli [--workspace DIR] COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  new NAME                 make a project with the default documents\n"
    "  show NAME [--json]       the general parameters, as the dialog reads them\n"
    "  set NAME KEY=VALUE...    change general parameters and save them\n"
    "  image NAME [--json]      write bin/bank.bin and print the device image\n"
    "  ports [--json]           the COM ports present\n"
    "  update NAME --port COMn [--no-firmware] [--no-read-firmware] [--no-project]\n"
    "         [--no-read-project]\n"
    "                           write the image, test the port, run the updater\n"
    "\n"
    "Options:\n"
    "  --workspace DIR  the workspace (MASTER, PROJECTS); the program's folder unless given\n"
    "  --help           this text; COMMAND --help tells about one command\n"
    "  --version        the version\n"
    "\n"
    "Exit status: 0 done, 1 refused or failed (the message on standard error),\n"
    "2 a usage error.\n";

const std::map<std::string, std::string> kCommandHelp = {
    {"new",
     "Usage: tarvel-cli new NAME\n"
     "Makes the project NAME in PROJECTS: its folder, its bin folder, the default\n"
     "pargen.xml and an empty var.xml, with the checks and messages of New project.\n"},
    {"show",
     "Usage: tarvel-cli show NAME [--json]\n"
     "Prints the project's general parameters as the General Parameter dialog reads\n"
     "them: the mode, and for the rtu and ascii sides their line, baud rate, parity,\n"
     "data bits, stop bits and time-out, in the words of the dialog's lists.\n"},
    {"set",
     "Usage: tarvel-cli set NAME KEY=VALUE...\n"
     "Changes general parameters and saves the document as the dialog's OK does.\n"
     "Keys: mode (0 or 1); rtu.line, ascii.line (RS232 or RS485); rtu.baud,\n"
     "ascii.baud (1200 2400 4800 9600 19200 38400 57600 115200); rtu.parity,\n"
     "ascii.parity (NONE ODD EVEN); rtu.data, ascii.data (5 6 7 8); rtu.stop,\n"
     "ascii.stop (1 2); rtu.timeout, ascii.timeout (milliseconds; the master side's\n"
     "from 0 to 60000). Only one side may use RS232. A refused command writes nothing.\n"},
    {"image",
     "Usage: tarvel-cli image NAME [--json]\n"
     "Builds the device image from the project's pargen.xml, writes bin/bank.bin as\n"
     "Update Device does, and prints its bytes in hexadecimal and each field.\n"},
    {"ports",
     "Usage: tarvel-cli ports [--json]\n"
     "Lists the COM ports present, with their devices, free or held by a program.\n"},
    {"update",
     "Usage: tarvel-cli update NAME --port COMn [--no-firmware] [--no-read-firmware]\n"
     "                          [--no-project] [--no-read-project]\n"
     "Writes the device image, test-opens the port as Connect does, runs the updater\n"
     "with the wizard's command line and waits for it (at most 150 s), then prints\n"
     "how it ended. Exit status 1 also when the updater ends with a code other\n"
     "than 0 or still runs at the limit.\n"},
};

// A refusal in the words the windows show it in, unchanged.
struct Refusal {
    std::string message;
};

// A command line that does not say what to do.
struct UsageError {
    std::string message;
    std::string usage;
};

// The arguments of one command, with its flags taken out.
class CommandArguments {
  public:
    CommandArguments(std::string command, std::vector<std::string> arguments)
        : command_(std::move(command)), arguments_(std::move(arguments)) {}

    const std::string& usage() const { return kCommandHelp.at(command_); }

    [[noreturn]] void refuse(const std::string& message) const {
        throw UsageError{message, usage()};
    }

    // Takes the flag out; true when it was given.
    bool takeFlag(const std::string& flag) {
        for (auto it = arguments_.begin(); it != arguments_.end(); ++it) {
            if (*it == flag) {
                arguments_.erase(it);
                return true;
            }
        }
        return false;
    }

    // Takes the option and its value out; nothing when it was not given.
    std::optional<std::string> takeOption(const std::string& option) {
        for (auto it = arguments_.begin(); it != arguments_.end(); ++it) {
            if (*it != option)
                continue;
            if (it + 1 == arguments_.end())
                refuse(option + " needs a value");
            std::string value = *(it + 1);
            arguments_.erase(it, it + 2);
            return value;
        }
        return std::nullopt;
    }

    // What remains once the flags and options are taken: exactly count
    // arguments, or at least count when more are allowed.
    std::vector<std::string> rest(std::size_t count, bool more = false) const {
        for (const std::string& argument : arguments_) {
            if (argument.size() > 1 && argument.front() == '-')
                refuse("Unknown option " + argument);
        }
        if (arguments_.size() < count || (!more && arguments_.size() > count))
            refuse(arguments_.size() < count ? "Too few arguments" : "Too many arguments");
        return arguments_;
    }

  private:
    std::string command_;
    std::vector<std::string> arguments_;
};

// The list item at position, or nothing outside the list.
std::optional<std::string> itemAt(const std::vector<std::string>& items, int position) {
    if (position < 0 || position >= static_cast<int>(items.size()))
        return std::nullopt;
    return items[static_cast<std::size_t>(position)];
}

Json itemOrNull(const std::vector<std::string>& items, int position) {
    const auto item = itemAt(items, position);
    return item ? Json(*item) : Json(nullptr);
}

const std::vector<std::string> kLineItems = {"RS232", "RS485"};

class Cli {
  public:
    Cli(std::ostream& out, std::ostream& err, const CliEnvironment& environment)
        : out_(out), err_(err), environment_(environment) {}

    int run(std::vector<std::string> arguments);

  private:
    int newProject(CommandArguments& arguments);
    int show(CommandArguments& arguments);
    int set(CommandArguments& arguments);
    int image(CommandArguments& arguments);
    int ports(CommandArguments& arguments);
    int update(CommandArguments& arguments);

    // Makes an existing project current, as Open project does, and returns
    // its folder; refuses names New project refuses.
    std::string projectFolder(const std::string& name);
    // The current project's parameters as the General Parameter dialog reads them.
    GeneralParameters readParameters() const;
    void writeImage(const std::string& folder, const std::string& name);

    std::ostream& out_;
    std::ostream& err_;
    const CliEnvironment& environment_;
    Workspace workspace_;
};

int Cli::run(std::vector<std::string> arguments) {
    std::string root = environment_.programFolder;
    if (!arguments.empty() && arguments.front() == "--workspace") {
        if (arguments.size() < 2)
            throw UsageError{"--workspace needs a folder", kUsage};
        root = arguments[1];
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    if (arguments.empty())
        throw UsageError{"No command given", kUsage};
    const std::string command = arguments.front();
    arguments.erase(arguments.begin());
    if (command == "--help") {
        out_ << kUsage;
        return 0;
    }
    if (command == "--version") {
        out_ << kVersion << '\n';
        return 0;
    }
    if (!kCommandHelp.count(command))
        throw UsageError{"Unknown command " + command, kUsage};
    CommandArguments commandArguments(command, arguments);
    if (commandArguments.takeFlag("--help")) {
        out_ << commandArguments.usage();
        return 0;
    }

    if (!FolderExists(root))
        throw Refusal{"The workspace " + root + " is not a folder"};
    prepareWorkspaceFolders(workspace_, root);
    const std::map<std::string, int (Cli::*)(CommandArguments&)> commands = {
        {"new", &Cli::newProject}, {"show", &Cli::show},   {"set", &Cli::set},
        {"image", &Cli::image},    {"ports", &Cli::ports}, {"update", &Cli::update}};
    return (this->*commands.at(command))(commandArguments);
}

std::string Cli::projectFolder(const std::string& name) {
    const std::string folder = projectFolderFor(workspace_.projectsFolder, name);
    // Never the projects folder itself, nor the updater's folder of a project.
    if (isProjectsFolderItself(name) || reachesIntoABinFolder(workspace_.projectsFolder, name))
        throw Refusal{name + " is not a project"};
    if (!isPortableProjectName(name) || !FolderExists(folder))
        throw Refusal{"Project not valid"};
    workspace_.projectFolder = folder;
    workspace_.setProjectPaths();
    return folder;
}

GeneralParameters Cli::readParameters() const {
    const std::string& path = workspace_.generalParameterPath;
    if (!platform::entryExists(path))
        return {};
    XmlDocument document;
    document.loadFromFile(path);
    return readGeneralParameters(document);
}

void Cli::writeImage(const std::string& folder, const std::string& name) {
    const ProjectLock lock(folder, name);
    XmlDocument document;
    BuildParameterImage(document, folder);
    WriteParameterImage(folder);
}

int Cli::newProject(CommandArguments& arguments) {
    const std::string name = arguments.rest(1).front();
    const std::vector<std::string> refusals = newProjectRefusals(workspace_.projectsFolder, name);
    if (!refusals.empty()) {
        for (const std::string& message : refusals) err_ << message << '\n';
        return 1;
    }
    if (!createProjectFolder(workspace_.projectsFolder, name, writeDefaultProjectDocuments)) {
        err_ << kProjectExistsMessage << '\n';
        return 1;
    }
    return 0;
}

int Cli::show(CommandArguments& arguments) {
    const bool json = arguments.takeFlag("--json");
    projectFolder(arguments.rest(1).front());
    const GeneralParameters parameters = readParameters();
    const auto side = [](const SideParameters& p) {
        return Json{{"line", p.rs232 ? "RS232" : "RS485"},
                    {"baud", itemOrNull(kBaudRateItems, p.baudRate)},
                    {"parity", itemOrNull(kParityItems, p.parity)},
                    {"data", itemOrNull(kDataBitsItems, p.dataBits)},
                    {"stop", itemOrNull(kStopBitsItems, p.stopBits)},
                    {"timeout", p.timeout}};
    };
    const Json shown = {{"mode", parameters.mode},
                        {"modeText", itemOrNull(kModeItems, parameters.mode)},
                        {"rtu", side(parameters.rtu)},
                        {"ascii", side(parameters.ascii)}};
    if (json) {
        out_ << shown.dump(2) << '\n';
        return 0;
    }
    out_ << "mode: " << parameters.mode;
    if (const auto text = itemAt(kModeItems, parameters.mode))
        out_ << " (" << *text << ")";
    out_ << '\n';
    for (const char* name : {"rtu", "ascii"}) {
        for (const auto& [key, value] : shown[name].items())
            out_ << name << '.' << key << ": "
                 << (value.is_null() ? "(none)" : value.get<std::string>()) << '\n';
    }
    return 0;
}

int Cli::set(CommandArguments& arguments) {
    static const std::vector<std::string> kFields = {"line", "baud", "parity",
                                                     "data", "stop", "timeout"};
    const std::vector<std::string> rest = arguments.rest(2, true);
    std::vector<std::pair<std::string, std::string>> changes;
    for (auto it = rest.begin() + 1; it != rest.end(); ++it) {
        const std::size_t equals = it->find('=');
        if (equals == std::string::npos)
            arguments.refuse("Not KEY=VALUE: " + *it);
        const std::string key = it->substr(0, equals);
        const std::size_t dot = key.find('.');
        const std::string side = key.substr(0, dot);
        const bool known =
            key == "mode" ||
            ((side == "rtu" || side == "ascii") && dot != std::string::npos &&
             std::find(kFields.begin(), kFields.end(), key.substr(dot + 1)) != kFields.end());
        if (!known)
            arguments.refuse("Unknown key " + key);
        changes.emplace_back(key, it->substr(equals + 1));
    }

    const std::string folder = projectFolder(rest.front());
    const ProjectLock lock(folder, rest.front());
    GeneralParameters parameters = readParameters();
    // Each change in the order given, as clicks in the dialog would make them.
    for (const auto& [key, value] : changes) {
        const auto position = [&key = key, &value = value](const std::vector<std::string>& items,
                                                           const char* what) {
            const auto found = std::find(items.begin(), items.end(), value);
            if (found == items.end())
                throw Refusal{"'" + value + "' is not " + what + " for " + key};
            return static_cast<int>(found - items.begin());
        };
        if (key == "mode") {
            parameters.mode = position({"0", "1"}, "a mode (0 or 1)");
            continue;
        }
        const Side sideId = key.rfind("rtu.", 0) == 0 ? Side::Rtu : Side::Ascii;
        SideParameters& side = sideId == Side::Rtu ? parameters.rtu : parameters.ascii;
        const std::string field = key.substr(key.find('.') + 1);
        if (field == "line") {
            side.rs232 = position(kLineItems, "a line (RS232 or RS485)") == 0;
            if (const auto problem = rs232Problem(parameters, sideId))
                throw Refusal{*problem};
        } else if (field == "baud") {
            side.baudRate = position(kBaudRateItems, "a baud rate of the list");
        } else if (field == "parity") {
            side.parity = position(kParityItems, "a parity (NONE, ODD or EVEN)");
        } else if (field == "data") {
            side.dataBits = position(kDataBitsItems, "a number of data bits (5 to 8)");
        } else if (field == "stop") {
            side.stopBits = position(kStopBitsItems, "a number of stop bits (1 or 2)");
        } else {
            // Checked as if this side were master: the mode may change later,
            // and the image must never hold a value the dialog refuses.
            side.timeout = value;
            if (const auto problem = sideTimeoutProblem(parameters, sideId))
                throw Refusal{*problem};
        }
    }
    if (const auto problem = timeoutProblem(parameters))
        throw Refusal{*problem};
    XmlDocument document;
    writeGeneralParameters(document, parameters, workspace_.generalParameterPath);
    return 0;
}

int Cli::image(CommandArguments& arguments) {
    const bool json = arguments.takeFlag("--json");
    const std::string name = arguments.rest(1).front();
    writeImage(projectFolder(name), name);

    const auto byte = [](std::size_t offset) { return static_cast<int>(ImageBuffer[offset]); };
    const auto word = [&](std::size_t offset) { return byte(offset) | byte(offset + 1) << 8; };
    std::string hex;
    for (std::int32_t i = 0; i < ImageLength; ++i) {
        char text[4];
        std::snprintf(text, sizeof text, "%02X", ImageBuffer[static_cast<std::size_t>(i)]);
        if (i > 0)
            hex += ' ';
        hex += text;
    }
    // Each field in the image's order, with what its code means.
    struct Field {
        const char* name;
        int value;
        std::optional<std::string> meaning;
    };
    std::vector<Field> fields = {
        {"head", byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24, {}}};
    if (ImageLength > 4) {
        const auto stopMeaning = [](int code) -> std::optional<std::string> {
            if (code == 0)
                return "1";
            if (code == 2)
                return "2";
            return std::nullopt;
        };
        fields.insert(fields.end(), {{"mode", byte(4), itemAt(kModeItems, byte(4))},
                                     {"rtu.line", byte(5), itemAt(kLineItems, byte(5))},
                                     {"rtu.baud", byte(6), itemAt(kBaudRateItems, byte(6))},
                                     {"rtu.parity", byte(7), itemAt(kParityItems, byte(7))},
                                     {"rtu.timeout", word(8), "ms"},
                                     {"ascii.line", byte(10), itemAt(kLineItems, byte(10))},
                                     {"ascii.baud", byte(11), itemAt(kBaudRateItems, byte(11))},
                                     {"ascii.parity", byte(12), itemAt(kParityItems, byte(12))},
                                     {"ascii.timeout", word(13), "ms"},
                                     {"rtu.data", byte(15), itemAt(kDataBitsItems, byte(15))},
                                     {"rtu.stop", byte(16), stopMeaning(byte(16))},
                                     {"ascii.data", byte(17), itemAt(kDataBitsItems, byte(17))},
                                     {"ascii.stop", byte(18), stopMeaning(byte(18))}});
    }
    if (json) {
        Json decoded = Json::object();
        for (const Field& field : fields) decoded[field.name] = field.value;
        out_ << Json{{"bytes", hex}, {"length", ImageLength}, {"fields", decoded}}.dump(2) << '\n';
        return 0;
    }
    out_ << hex << '\n';
    for (const Field& field : fields) {
        out_ << field.name << ": " << field.value;
        if (field.meaning)
            out_ << " (" << *field.meaning << ")";
        out_ << '\n';
    }
    return 0;
}

int Cli::ports(CommandArguments& arguments) {
    const bool json = arguments.takeFlag("--json");
    arguments.rest(0);
    Json list = Json::array();
    for (const ComPortState& port : probeComPorts(*environment_.serial)) {
        list.push_back({{"name", "COM" + std::to_string(port.number)},
                        {"device", platform::portDevicePath(port.number)},
                        {"state", port.held ? "held" : "free"}});
    }
    if (json) {
        out_ << Json{{"ports", list}}.dump(2) << '\n';
        return 0;
    }
    for (const Json& port : list) {
        out_ << port["name"].get<std::string>() << "  " << port["device"].get<std::string>() << "  "
             << port["state"].get<std::string>() << '\n';
    }
    return 0;
}

int Cli::update(CommandArguments& arguments) {
    UpdateOptions options;
    options.firmware = !arguments.takeFlag("--no-firmware");
    options.readFirmware = !arguments.takeFlag("--no-read-firmware");
    options.project = !arguments.takeFlag("--no-project");
    options.readProject = !arguments.takeFlag("--no-read-project");
    const auto port = arguments.takeOption("--port");
    if (!port)
        arguments.refuse("--port is needed");
    const std::string name = arguments.rest(1).front();
    const std::string folder = projectFolder(name);
    writeImage(folder, name);

    // The port test of Connect: opened, DTR raised, released for the updater.
    try {
        TComm comm(environment_.serial);
        comm.SetDeviceName(*port);
        comm.Open();
        comm.SetDtr(true);
        comm.Close();
    } catch (const ECommError&) {
        throw Refusal{"Error!! Com Port cannot be open."};
    }

    WaitSettings settings = environment_.wait;
    std::uint32_t shownSeconds = 0;
    if (environment_.progressOnTerminal) {
        settings.whileWaiting = [&](std::uint32_t elapsedMs) {
            if (elapsedMs / 1000 == shownSeconds && elapsedMs != 0)
                return;
            shownSeconds = elapsedMs / 1000;
            err_ << '\r' << runningText(elapsedMs) << std::flush;
        };
    }
    const RunOutcome outcome =
        runAndWait(updaterProgramPath(workspace_.root),
                   updaterCommandLine(*port, options, workspace_.root, folder), false, settings);
    if (environment_.progressOnTerminal)
        err_ << "\r\x1b[K" << std::flush;
    if (!outcome.launchError.empty())
        err_ << outcome.launchError << '\n';
    const std::string text = outcomeText(outcome);
    if (outcome.kind == RunOutcome::Kind::Ended && outcome.exitCode == 0) {
        out_ << text << '\n';
        return 0;
    }
    err_ << text << '\n';
    return 1;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                   const CliEnvironment& environment) {
    try {
        return Cli(out, err, environment).run(arguments);
    } catch (const UsageError& e) {
        err << e.message << "\n\n" << e.usage;
        return 2;
    } catch (const Refusal& refusal) {
        err << refusal.message << '\n';
        return 1;
    } catch (const std::exception& e) {
        // As the windows' general error report words it.
        err << reportText(e.what()) << '\n';
        return 1;
    }
}
