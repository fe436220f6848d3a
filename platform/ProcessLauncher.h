#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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
    // The process number (POSIX) or the process handle (Windows).
    virtual std::intptr_t nativeHandle() const = 0;
    // The process id, as processStartTime takes it.
    virtual unsigned long processId() const = 0;
};

// How a program is started, beyond its path and arguments. With an
// outputFile, the program's standard output and error are appended to that
// file (made when missing) and it gets no window of its own: a file, not a
// pipe, so that it may outlive this program without a broken pipe. A
// heldLock (a locked file, POSIX) is handed to the program too, so that the
// lock lasts while it runs, whatever becomes of this program.
// beforeItRuns is called once the program exists, as it starts; on POSIX the
// heldLock guards what it does before it is recorded. (A Windows start
// suspended until recorded hung a timed-out run under Wine: not done.)
struct LaunchOptions {
    std::string outputFile = {};
    // Without an outputFile: the program's standard output goes to this
    // program's standard error, so that this one's output stays its own.
    bool outputToStandardError = false;
    std::intptr_t heldLock = -1;
    std::function<void(LaunchedProgram&)> beforeItRuns = {};
};

// Starts path with its arguments in the current folder, its window shown or
// hidden. Returns nothing when the launch fails. Where the platform itself
// tells the operator (the Windows shell does), unreported stays empty;
// otherwise it receives the text to show ("Cannot start <path>: <reason>").
// On POSIX the program runs in a session of its own with its input from the
// null device, so that nothing typed at a terminal, nor Ctrl-C or a hang-up
// there, reaches it; so does a program with an outputFile on Windows (a
// process group of its own).
std::unique_ptr<LaunchedProgram> launchProgram(const std::string& path,
                                               const ProgramArguments& arguments, bool hidden,
                                               std::string& unreported,
                                               const LaunchOptions& options = {});

// An auto-reset event that other programs may open by name; it disappears
// with its last user.
class NamedEvent {
  public:
    explicit NamedEvent(const std::string& name);
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    void reset();
    // The semaphore (POSIX) or event handle (Windows); null when none could
    // be made.
    void* nativeHandle() const { return handle_; }

  private:
    void* handle_;
    std::string name_;
};

// Waits for a started program without polling: a wait returns when the
// program ends, when its named event is signalled (which takes the signal, as
// an auto-reset event does; a burst of signals counts as one), or when its
// time is up.
class RunWait {
  public:
    RunWait(LaunchedProgram& program, NamedEvent& event);
    ~RunWait();
    RunWait(const RunWait&) = delete;
    RunWait& operator=(const RunWait&) = delete;

    void wait(unsigned timeoutMs);

    // For a wait inside an event loop instead: the descriptors that turn
    // readable (POSIX) or the handles that turn signalled (Windows) when the
    // wait would return. Call acknowledge() after any of them did.
    std::vector<std::intptr_t> waitables() const;
    void acknowledge();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Milliseconds from a monotonic clock; wraps around like a 32-bit counter.
std::uint32_t tickCount();

}  // namespace platform
