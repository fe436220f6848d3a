// new, copy, show, set, image and decode: one project or one image at a time.
#include <iostream>

#include "cli/Cli.h"
#include "common/AppError.h"
#include "common/ShortQuote.h"
#include "documents/XmlDocument.h"
#include "platform/FileSystem.h"
#include "project/NewProject.h"
#include "project/ProjectLock.h"
#include "project/ProjectPaths.h"
#include "station/ImageReport.h"

namespace {

// A new project's name under New project's rules; false after telling why.
bool newNameAccepted(Cli& cli, const std::string& name) {
    cli.subject = name;
    const std::vector<std::string> refusals =
        newProjectRefusals(cli.workspace.projectsFolder, name);
    for (const std::string& message : refusals) cli.tell(name, message);
    return refusals.empty();
}

// A document of the project being copied, as its bytes, when they parse as
// one; written with the source's permissions, never wider.
void copyDocument(const std::string& from, const std::string& to) {
    if (!platform::entryExists(from))
        return;
    std::string message;
    const auto bytes = platform::readFileContents(from, &message);
    if (!bytes)
        throw AppError(message);
    XmlDocument document;
    document.loadFromBytes(*bytes, from);
    if (!document.childNodes().first().isElement())
        throw AppError(from + " is not a parameter document");
    std::string reason;
    if (!platform::writeNewFile(to, *bytes, &reason,
                                platform::fileMode(from).value_or(0600) & 0666))
        throw AppError("Cannot write " + to + ": " + reason);
}

void printParameters(const Cli& cli, const std::string& name, const GeneralParameters& parameters) {
    const Json shown = parametersToJson(parameters);
    if (cli.json()) {
        Json object = {{"name", name}};
        for (const auto& [key, value] : shown.items()) object[key] = value;
        cli.printJson(object);
        return;
    }
    cli.out << "mode: " << parameters.mode;
    if (const auto text = itemAt(kModeItems, parameters.mode))
        cli.out << " (" << *text << ")";
    cli.out << '\n';
    for (const auto* sideName : {"rtu", "ascii"}) {
        const auto& side = sideName == std::string("rtu") ? parameters.rtu : parameters.ascii;
        const Json& values = shown[sideName];
        for (const auto& [key, value] : values.items()) {
            cli.out << sideName << '.' << key << ": ";
            if (key == "timeout")
                cli.out << side.timeout;  // as typed, whatever it is
            else if (value.is_null())
                cli.out << "(none)";
            else
                cli.out << (value.is_string() ? value.get<std::string>() : value.dump());
            cli.out << '\n';
        }
    }
}

// The changes set is given: KEY=VALUE operands, or the object of --from.
std::vector<std::pair<std::string, std::string>> requestedChanges(
    Cli& cli, const std::vector<std::string>& operands) {
    std::vector<std::pair<std::string, std::string>> changes;
    if (const auto from = cli.arguments.option("--from")) {
        if (operands.size() > 1)
            cli.arguments.refuse("give KEY=VALUE or --from, not both");
        const std::string text = cli.readFileOrInput(*from);
        const Json object = Json::parse(text, nullptr, false);
        if (object.is_discarded())
            throw CliError::aboutFile(*from, "is not JSON");
        if (const auto problem = keyValuesFromJson(object, changes))
            throw CliError::aboutFile(*from, *problem);
        return changes;
    }
    if (operands.size() < 2)
        cli.arguments.refuse("too few arguments");
    for (auto it = operands.begin() + 1; it != operands.end(); ++it) {
        const std::size_t equals = it->find('=');
        if (equals == std::string::npos)
            cli.arguments.refuse("not KEY=VALUE: " + shortQuote(*it));
        const std::string key = it->substr(0, equals);
        if (!isParameterKey(key))
            cli.arguments.refuse("unknown key " + shortQuote(key));
        changes.emplace_back(key, it->substr(equals + 1));
    }
    return changes;
}

}  // namespace

int newCommand(Cli& cli) {
    const std::string name = cli.arguments.operands(1).front();
    if (!newNameAccepted(cli, name))
        return 1;
    const auto defaults = [](const std::string& folder) {
        writeNewProjectFiles(folder, GeneralParameters{}, false);
    };
    if (!createProjectFolder(cli.workspace.projectsFolder, name, defaults)) {
        cli.tell(name, kProjectExistsMessage);
        return 1;
    }
    if (cli.json())
        cli.printJson(
            {{"created", name}, {"folder", projectFolderFor(cli.workspace.projectsFolder, name)}});
    return 0;
}

int copyCommand(Cli& cli) {
    const std::vector<std::string> names = cli.arguments.operands(2);
    const std::string source = cli.projectFolder(names[0]);
    const std::string& name = names[1];
    if (!newNameAccepted(cli, name))
        return 1;
    const auto copied = [&](const std::string& folder) {
        const ProjectPaths from(source);
        const ProjectPaths to(folder);
        copyDocument(from.generalParameters, to.generalParameters);
        copyDocument(from.translateTable, to.translateTable);
    };
    if (!createProjectFolder(cli.workspace.projectsFolder, name, copied)) {
        cli.tell(name, kProjectExistsMessage);
        return 1;
    }
    if (cli.json())
        cli.printJson({{"copied", names[0]}, {"created", name}});
    return 0;
}

int showCommand(Cli& cli) {
    const std::string name = cli.arguments.operands(1).front();
    printParameters(cli, name, cli.readParameters(cli.projectFolder(name)));
    return 0;
}

int setCommand(Cli& cli) {
    const std::vector<std::string> operands = cli.arguments.operands(1, true);
    const std::string& name = operands.front();
    const auto changes = requestedChanges(cli, operands);
    const std::string folder = cli.projectFolder(name);
    const ProjectLock lock(folder, name, kProjectLockWaitMs, cli.environment.lockPause);
    GeneralParameters parameters = cli.readParameters(folder);
    // Each change in the order given, as clicks in the dialog would make them.
    for (const auto& [key, value] : changes) {
        if (const auto problem = applyParameter(parameters, key, value))
            throw CliError{name, *problem};
    }
    if (const auto problem = timeoutProblem(parameters))
        throw CliError{name, *problem};
    XmlDocument document;
    writeGeneralParameters(document, parameters, cli.workspace.generalParameterPath);
    std::vector<std::string> keys;
    for (const auto& change : changes) keys.push_back(change.first);
    for (const std::string& warning : unsentFraming(parameters, keys)) cli.tell(name, warning);
    if (cli.json())
        printParameters(cli, name, parameters);
    return 0;
}

int imageCommand(Cli& cli) {
    const std::string name = cli.arguments.operands(1).front();
    const std::string folder = cli.projectFolder(name);
    std::string bytes;
    {
        const ProjectLock lock(folder, name, kProjectLockWaitMs, cli.environment.lockPause);
        bytes = cli.writeImage(lock, folder, name);
        const std::vector<std::string> framing = {"rtu.data", "rtu.stop", "ascii.data",
                                                  "ascii.stop"};
        for (const std::string& warning : unsentFraming(cli.readParameters(folder), framing))
            cli.tell(name, warning);
    }
    if (cli.json())
        cli.printJson(imageJson(bytes));
    else
        printImage(cli.out, bytes);
    return 0;
}

int decodeCommand(Cli& cli) {
    const std::string path = cli.arguments.operands(1).front();
    const std::string bytes = cli.readFileOrInput(path);
    if (bytes.size() != 4 && bytes.size() != 19)
        throw CliError::aboutFile(path, "is not a device image: " + std::to_string(bytes.size()) +
                                            " bytes, where one has 4 or 19");
    if (cli.json())
        cli.printJson(imageJson(bytes));
    else
        printImage(cli.out, bytes);
    return 0;
}
