#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/SerialApi.h"

// A serial layer for tests: records every call by name, lets any call fail
// with a chosen error number, and delivers port events on request.
class FakeSerialApi : public platform::SerialApi {
  public:
    // Names that open a character device; any other name opens an ordinary file,
    // names in missing fail with "file not found".
    std::set<std::string> devices = {"Com2", "COM1", "COM2", "COM3"};
    std::set<std::string> missing;
    platform::Dcb portState{.BaudRate = 1200, .Flags = 0x1234 | platform::dcb::kBinary};

    // Adds a device while other threads may open ports.
    void plugIn(const std::string& name);

    // The call of that name fails with this error number until erased.
    void failCall(const std::string& name, int error);
    void succeedCall(const std::string& name);

    // Lets the port's waiting watcher report these events.
    void raiseEvents(std::uint32_t events);

    std::vector<std::string> calls() const;
    // How often a watcher has waited for a port event.
    int waits() const;
    std::vector<platform::Dcb> writtenStates() const;
    platform::CommTimeouts lastTimeouts() const;
    std::uint32_t lastMask() const;
    int openHandles() const;
    void clearCalls();

    platform::CommHandle createFile(const std::string& name) override;
    bool isCharacterDevice(platform::CommHandle port) override;
    bool closeHandle(platform::CommHandle port) override;
    bool setCommMask(platform::CommHandle port, std::uint32_t mask) override;
    bool setCommTimeouts(platform::CommHandle port, const platform::CommTimeouts& t) override;
    bool getCommState(platform::CommHandle port, platform::Dcb& state) override;
    bool setCommState(platform::CommHandle port, const platform::Dcb& state) override;
    bool setupComm(platform::CommHandle port, std::uint32_t in, std::uint32_t out) override;
    bool escapeCommFunction(platform::CommHandle port, std::uint32_t function) override;
    bool clearCommError(platform::CommHandle port, std::uint32_t& errors,
                        platform::CommStatus& status) override;
    bool purgeComm(platform::CommHandle port, std::uint32_t flags) override;
    platform::EventHandle createEvent() override;
    void setEvent(platform::EventHandle event) override;
    void resetEvent(platform::EventHandle event) override;
    void closeEvent(platform::EventHandle event) override;
    bool waitCommEvent(platform::CommHandle port, platform::EventHandle wake,
                       std::uint32_t& events) override;
    int lastError() override;

  private:
    // Records the call; false (with the chosen error) when it is made to fail.
    bool record(const std::string& entry, const std::string& name);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> calls_;
    std::map<std::string, int> failures_;
    std::vector<platform::Dcb> written_;
    platform::CommTimeouts timeouts_;
    std::uint32_t mask_ = 0;
    std::uint32_t pendingEvents_ = 0;
    int waits_ = 0;
    std::set<platform::CommHandle> open_;
    std::map<platform::EventHandle, bool> events_;
    platform::CommHandle nextHandle_ = 100;
    platform::EventHandle nextEvent_ = 500;
};
