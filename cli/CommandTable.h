#pragma once

#include <string>
#include <vector>

class Cli;

// Every command of tarvel-cli in one row: what it runs, whether it works in
// a workspace, the options it takes, and its texts. The option parser, the
// check of each command's options, --help, the manual page and the bash
// completion are all made from these rows.

// What follows an option, as completion offers it; None for a flag.
enum class OptionValue { None, Folder, File, Port, Text };

struct OptionRow {
    std::string name;
    OptionValue value;
};

// What completion offers for a command's operands.
enum class Operands { None, Projects, Files, ProjectAndKeys };

struct CommandRow {
    std::string name;
    int (*run)(Cli&);
    // A command that does not work in a workspace never makes or touches one.
    bool usesWorkspace;
    // Its options besides those every command takes.
    std::vector<std::string> options;
    Operands operands;
    // Its lines in the program's usage, and its own usage (--help).
    std::string summary;
    std::string usage;
};

// Every option, and the names every command takes.
const std::vector<OptionRow>& optionTable();
const std::vector<std::string>& commonOptions();
const OptionRow* findOption(const std::string& name);

const std::vector<CommandRow>& commandTable();
const CommandRow* findCommand(const std::string& name);

// The usage of the whole program, and of one command (empty for an unknown one).
std::string programUsage();
std::string commandUsage(const std::string& command);
