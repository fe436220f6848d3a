#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/AppError.h"

struct CommandRow;

// A command line that does not say what to do: the message and the usage to
// show with it.
class UsageError : public AppError {
  public:
    UsageError(const std::string& message, std::string usage)
        : AppError(message), usage(std::move(usage)) {}
    std::string usage;
};

// The command line as the conventions of such programs read it: options
// anywhere after the program name, "--opt value" or "--opt=value", "-h" and
// "-V" for help and version, and "--" ending the options.
class Arguments {
  public:
    explicit Arguments(const std::vector<std::string>& arguments);

    // The command, or empty when none was given.
    const std::string& command() const { return command_; }
    bool flag(const std::string& name) const { return flags_.count(name) > 0; }
    std::optional<std::string> option(const std::string& name) const;

    // Refuses flags and options that the command does not take.
    void refuseOptionsNotTakenBy(const CommandRow& command) const;
    // The operands: exactly count, or at least count when more are allowed.
    std::vector<std::string> operands(std::size_t count, bool more = false) const;

    // A usage error for this command.
    [[noreturn]] void refuse(const std::string& message) const;

  private:
    std::string command_;
    std::set<std::string> flags_;
    std::map<std::string, std::string> options_;
    std::vector<std::string> operands_;
};
