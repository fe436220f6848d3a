#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// A program started by launchProgram. It is never signalled or killed; one
// still running when this object goes away is reaped later by itself.
class LaunchedProgram {
  public:
    virtual ~LaunchedProgram() = default;
    virtual bool hasEnded() = 0;
};

// Starts path with the parameter string in the current folder, its window
// shown or hidden. Returns nothing when the launch fails; the failure is then
// shown to the operator the way the platform does ("Cannot start <path>").
std::unique_ptr<LaunchedProgram> launchProgram(const std::string& path,
                                               const std::string& parameters, bool hidden);

// An auto-reset event that other programs may open by name.
class NamedEvent {
  public:
    explicit NamedEvent(const std::string& name);
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    void reset();
    // Returns when the event is signalled or after at most milliseconds.
    void waitFor(unsigned milliseconds);

  private:
    void* handle_;
};

// Milliseconds from a monotonic clock; wraps around like a 32-bit counter.
std::uint32_t tickCount();

}  // namespace platform
