#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CommandLine.h"
#include "common/AppError.h"
#include "documents/GeneralParameters.h"
#include "platform/SerialAdapter.h"
#include "project/Workspace.h"
#include "station/ParameterKeys.h"
#include "station/Station.h"

class ProjectLock;

// A refusal or failure: the project, file or port concerned and the message,
// printed as "tarvel-cli: SUBJECT: MESSAGE". A name is quoted up to 60
// characters, as every value is; a file's path is printed whole.
class CliError : public AppError {
  public:
    CliError(std::string subject, const std::string& message)
        : AppError(message), subject(std::move(subject)) {}
    static CliError aboutFile(const std::string& path, const std::string& message) {
        CliError error(path, message);
        error.subjectIsPath = true;
        return error;
    }
    std::string subject;
    bool subjectIsPath = false;
};

// What one run of the command line works with.
class Cli {
  public:
    Cli(std::ostream& out, std::ostream& err, const CliEnvironment& environment,
        const Arguments& arguments)
        : out(out), err(err), environment(environment), arguments(arguments) {}

    std::ostream& out;
    std::ostream& err;
    const CliEnvironment& environment;
    const Arguments& arguments;
    Workspace workspace;
    // What a message of the core names when it fails: the project or file at hand.
    std::string subject;

    bool json() const { return arguments.flag("--json"); }
    // Prints one JSON object, with the format version at the top.
    void printJson(const Json& object) const;
    // "tarvel-cli: SUBJECT: MESSAGE" on standard error; the last one is what
    // a failure's JSON says.
    void tell(const std::string& about, const std::string& message) const;
    // The same about a file, whose path is printed whole.
    void tellAboutFile(const std::string& path, const std::string& message) const;
    void noteFailure(const std::string& about, const std::string& message) const;
    bool printedJson() const { return printedJson_; }
    // {"version": 1, "error": {"name": SUBJECT or null, "message": MESSAGE}}.
    void printFailureJson() const;

    // The whole of a file that a command reads, or of standard input for "-",
    // at most 16 MiB of either; raises CliError naming the file.
    std::string readFileOrInput(const std::string& file) const;

    // An existing project, made current as Open project does: its folder.
    // Refuses what is no project, and names New project refuses.
    std::string projectFolder(const std::string& name);
    // The project's parameters as the General Parameter dialog reads them.
    GeneralParameters readParameters(const std::string& folder) const;
    // Builds and writes bin/bank.bin under the project's lock; returns its
    // bytes and tells of values that do not fit their fields.
    std::string writeImage(const ProjectLock& lock, const std::string& folder,
                           const std::string& name) const;

  private:
    mutable bool printedJson_ = false;
    mutable std::pair<std::string, std::string> lastFailure_;
};

// Checks and applies the file as apply does; its rows in the file's order,
// or nothing when it refused or failed (and told why).
std::optional<std::vector<QueueRow>> applyQueue(Cli& cli, const std::string& file);

int newCommand(Cli& cli);
int copyCommand(Cli& cli);
int showCommand(Cli& cli);
int setCommand(Cli& cli);
int imageCommand(Cli& cli);
int decodeCommand(Cli& cli);
int applyCommand(Cli& cli);
int portsCommand(Cli& cli);
int updateCommand(Cli& cli);
int stationCommand(Cli& cli);
int auditCommand(Cli& cli);
int keygenCommand(Cli& cli);
