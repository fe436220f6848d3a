#include "cli/CommandLine.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>

#include "cli/Cli.h"
#include "cli/CommandTable.h"
#include "common/AppError.h"
#include "common/ReportText.h"
#include "common/ShortQuote.h"
#include "common/Version.h"
#include "documents/XmlDocument.h"
#include "image/ParameterImage.h"
#include "platform/FileSystem.h"
#include "project/FolderUtils.h"
#include "project/NewProject.h"
#include "project/ProjectImage.h"
#include "project/ProjectLock.h"
#include "project/ProjectNames.h"
#include "project/ProjectPaths.h"

namespace {

constexpr const char* kProgram = "tarvel-cli: ";

// "tarvel-cli: SUBJECT: " before each line of a message.
std::string framed(const std::string& subject, const std::string& message) {
    std::string text;
    std::istringstream lines(message);
    for (std::string line; std::getline(lines, line);)
        text += kProgram + (subject.empty() ? "" : subject + ": ") + line + "\n";
    return text;
}

// The workspace: made when missing, as start-up makes its folders.
void prepareWorkspace(Cli& cli, const std::string& root) {
    if (!FolderExists(root)) {
        std::string reason;
        if (!platform::createFolder(root, &reason))
            throw CliError::aboutFile(root, "cannot make the workspace: " + reason);
        cli.err << kProgram << "created workspace " << root << '\n';
    }
    prepareWorkspaceFolders(cli.workspace, root);
}

int run(Cli& cli) {
    const Arguments& arguments = cli.arguments;
    if (arguments.flag("--version")) {
        cli.out << kVersion << '\n';
        return 0;
    }
    if (arguments.flag("--help")) {
        const std::string usage = commandUsage(arguments.command());
        cli.out << (usage.empty() ? programUsage() : usage);
        return 0;
    }
    if (arguments.command().empty())
        throw UsageError{"no command given", programUsage()};
    const CommandRow* command = findCommand(arguments.command());
    if (!command)
        throw UsageError{"unknown command " + arguments.command(), programUsage()};
    // Before anything is made: a workspace is never left behind by a refusal.
    arguments.refuseOptionsNotTakenBy(*command);
    if (command->usesWorkspace) {
        if (const auto given = arguments.option("--workspace")) {
            prepareWorkspace(cli, *given);
        } else {
            ForceFolder(cli.environment.defaultWorkspace);  // the user's own, once installed
            prepareWorkspaceFolders(cli.workspace, cli.environment.defaultWorkspace);
        }
    }
    return command->run(cli);
}

}  // namespace

void Cli::printJson(const Json& object) const {
    printedJson_ = true;
    Json versioned = {{"version", kJsonVersion}};
    for (const auto& [key, value] : object.items()) versioned[key] = value;
    out << versioned.dump(2) << '\n';
}

void Cli::tell(const std::string& about, const std::string& message) const {
    err << framed(shortQuote(about), message);
    noteFailure(shortQuote(about), message);
}

void Cli::tellAboutFile(const std::string& path, const std::string& message) const {
    err << framed(path, message);
    noteFailure(path, message);
}

void Cli::noteFailure(const std::string& about, const std::string& message) const {
    lastFailure_ = {about, message};
}

void Cli::printFailureJson() const {
    const auto& [about, message] = lastFailure_;
    printJson(
        {{"error", {{"name", about.empty() ? Json(nullptr) : Json(about)}, {"message", message}}}});
}

std::string Cli::projectFolder(const std::string& name) {
    subject = name;
    // Never the projects folder itself, nor the updater's folder of a project.
    if (isProjectsFolderItself(name) || reachesIntoABinFolder(workspace.projectsFolder, name))
        throw CliError{name, shortQuote(name) + " is not a project"};
    const std::string folder = projectFolderFor(workspace.projectsFolder, name);
    if (!isPortableProjectName(name) || !FolderExists(folder))
        throw CliError{name, "Project not valid"};
    refuseForeignLinks(folder, name);
    workspace.projectFolder = folder;
    workspace.setProjectPaths();
    return folder;
}

std::string Cli::readFileOrInput(const std::string& file) const {
    if (file != "-") {
        std::string message;
        const auto text = platform::readFileContents(file, &message);
        if (!text)
            throw CliError::aboutFile(file, message);
        return *text;
    }
    std::string text;
    char buffer[65536];
    while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(std::cin.gcount()));
        if (text.size() > platform::kLargestReadFile)
            throw CliError::aboutFile(file, "standard input is larger than 16 MiB");
    }
    return text;
}

GeneralParameters Cli::readParameters(const std::string& folder) const {
    XmlDocument document;
    return readProjectParameters(document, folder);
}

std::string Cli::writeImage(const ProjectLock& lock, const std::string& folder,
                            const std::string& name) const {
    XmlDocument document;
    std::vector<std::string> truncations;
    const std::string bytes = writeProjectImage(lock, folder, document, &truncations);
    for (const std::string& truncation : truncations) tell(name, truncation);
    return bytes;
}

int runCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                   const CliEnvironment& environment) {
    std::optional<Arguments> parsed;
    try {
        parsed.emplace(arguments);
    } catch (const UsageError& e) {
        err << kProgram << e.what() << "\n\n" << e.usage;
        return 2;
    }
    Cli cli(out, err, environment, *parsed);
    int status = 1;
    try {
        status = run(cli);
    } catch (const UsageError& e) {
        err << kProgram << e.what() << "\n\n" << e.usage;
        cli.noteFailure("", e.what());
        status = 2;
    } catch (const CliError& e) {
        if (e.subjectIsPath)
            cli.tellAboutFile(e.subject, e.what());
        else
            cli.tell(e.subject, e.what());
    } catch (const std::exception& e) {
        // As the windows' general error report words it.
        cli.tell(cli.subject, reportText(e.what()));
    }
    // A script that reads the JSON gets an answer when the command failed.
    if (status != 0 && cli.json() && !cli.printedJson())
        cli.printFailureJson();
    // A full disk or a closed pipe: what was printed did not arrive.
    out.flush();
    if (!out) {
        err << kProgram << "standard output: " << std::strerror(errno ? errno : EIO) << '\n';
        return 1;
    }
    return status;
}
