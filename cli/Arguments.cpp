#include "cli/Arguments.h"

#include <algorithm>

#include "cli/CommandTable.h"

namespace {

const std::map<std::string, std::string> kShortFlags = {{"-h", "--help"}, {"-V", "--version"}};

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
        const OptionRow* known = findOption(argument);
        if (known && known->value == OptionValue::None && !value) {
            flags_.insert(argument);
        } else if (known && known->value != OptionValue::None) {
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

void Arguments::refuseOptionsNotTakenBy(const CommandRow& command) const {
    const auto check = [&](const std::string& name) {
        const auto& common = commonOptions();
        if (std::find(common.begin(), common.end(), name) == common.end() &&
            std::find(command.options.begin(), command.options.end(), name) ==
                command.options.end())
            refuse("the command " + command_ + " takes no " + name);
    };
    for (const std::string& name : flags_) check(name);
    for (const auto& [name, value] : options_) check(name);
}

std::vector<std::string> Arguments::operands(std::size_t count, bool more) const {
    if (operands_.size() < count)
        refuse("too few arguments");
    if (!more && operands_.size() > count)
        refuse("too many arguments");
    return operands_;
}

void Arguments::refuse(const std::string& message) const {
    throw UsageError{message, commandUsage(command_)};
}
