#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// What a started program is handed: the parameter string, as Windows passes it
// on unchanged, and the same pieces as separate arguments, as POSIX passes
// them, so that no text inside a piece can split, add or shift an argument.
struct ProgramArguments {
    std::string parameters;
    std::vector<std::string> arguments;
};

// A program started by launchProgram. It is never signalled or killed; one
// still running when this object goes away is reaped later by itself.
class LaunchedProgram {
  public:
    virtual ~LaunchedProgram() = default;
    // The exit code once the program has ended, as the platform gives it (on
    // POSIX a program ended by signal n gives 128 + n); nothing while it runs.
    virtual std::optional<int> exitCode() = 0;
};

// Starts path with its arguments in the current folder, its window shown or
// hidden. Returns nothing when the launch fails. Where the platform itself
// tells the operator (the Windows shell does), unreported stays empty;
// otherwise it receives the text to show ("Cannot start <path>: <reason>").
std::unique_ptr<LaunchedProgram> launchProgram(const std::string& path,
                                               const ProgramArguments& arguments, bool hidden,
                                               std::string& unreported);

// An auto-reset event that other programs may open by name; it disappears
// with its last user.
class NamedEvent {
  public:
    explicit NamedEvent(const std::string& name);
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    void reset();
    // Returns when the event is signalled, which resets it, or after at most
    // milliseconds, timed on a monotonic clock.
    void waitFor(unsigned milliseconds);

  private:
    void* handle_;
    std::string name_;
};

// Milliseconds from a monotonic clock; wraps around like a 32-bit counter.
std::uint32_t tickCount();

}  // namespace platform
