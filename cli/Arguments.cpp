#include "cli/Arguments.h"

#include "cli/Help.h"

namespace {

const std::set<std::string> kValueOptions = {"--workspace", "--port", "--from",  "--log",
                                             "--retries",   "--redo", "--watch", "--on-result"};
const std::set<std::string> kFlags = {"--json",
                                      "--help",
                                      "--version",
                                      "--no-firmware",
                                      "--no-project",
                                      "--no-read-firmware",
                                      "--no-read-project",
                                      "--yes",
                                      "--wait-port",
                                      "--csv"};
const std::map<std::string, std::string> kShortFlags = {{"-h", "--help"}, {"-V", "--version"}};

// What each command takes besides the options every command takes.
const std::map<std::string, std::set<std::string>> kCommandOptions = {
    {"set", {"--from"}},
    {"update",
     {"--port", "--no-firmware", "--no-read-firmware", "--no-project", "--no-read-project"}},
    {"station",
     {"--port", "--wait-port", "--watch", "--log", "--yes", "--retries", "--on-result", "--redo",
      "--no-firmware", "--no-read-firmware", "--no-project", "--no-read-project"}},
    {"audit", {"--csv"}},
};
const std::set<std::string> kCommonOptions = {"--workspace", "--json", "--help", "--version"};

}  // namespace

Arguments::Arguments(const std::vector<std::string>& arguments) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        const bool looksLikeOption = argument.size() > 1 && argument.front() == '-';
        if (optionsEnded || !looksLikeOption) {
            if (command_.empty())
                command_ = argument;
            else
                operands_.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (const auto shortFlag = kShortFlags.find(argument); shortFlag != kShortFlags.end())
            argument = shortFlag->second;
        std::optional<std::string> value;
        if (const std::size_t equals = argument.find('='); equals != std::string::npos) {
            value = argument.substr(equals + 1);
            argument.erase(equals);
        }
        if (kFlags.count(argument) && !value) {
            flags_.insert(argument);
        } else if (kValueOptions.count(argument)) {
            if (!value) {
                if (i + 1 == arguments.size())
                    throw UsageError{argument + " needs a value", programUsage()};
                value = arguments[++i];
            }
            options_[argument] = *value;
        } else {
            throw UsageError{"unknown option " + arguments[i],
                             command_.empty() ? programUsage() : commandUsage(command_)};
        }
    }
}

std::optional<std::string> Arguments::option(const std::string& name) const {
    const auto found = options_.find(name);
    if (found == options_.end())
        return std::nullopt;
    return found->second;
}

std::vector<std::string> Arguments::operands(std::size_t count, bool more) const {
    const auto allowed = kCommandOptions.find(command_);
    const auto check = [&](const std::string& name) {
        if (!kCommonOptions.count(name) &&
            (allowed == kCommandOptions.end() || !allowed->second.count(name)))
            refuse("the command " + command_ + " takes no " + name);
    };
    for (const std::string& name : flags_) check(name);
    for (const auto& [name, value] : options_) check(name);
    if (operands_.size() < count)
        refuse("too few arguments");
    if (!more && operands_.size() > count)
        refuse("too many arguments");
    return operands_;
}

void Arguments::refuse(const std::string& message) const {
    throw UsageError{message, commandUsage(command_)};
}
