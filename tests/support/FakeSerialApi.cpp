#include "support/FakeSerialApi.h"

namespace {
thread_local int fakeLastError = 0;
}

void FakeSerialApi::failCall(const std::string& name, int error) {
    std::lock_guard lock(mutex_);
    failures_[name] = error;
}

void FakeSerialApi::succeedCall(const std::string& name) {
    std::lock_guard lock(mutex_);
    failures_.erase(name);
}

void FakeSerialApi::raiseEvents(std::uint32_t events) {
    std::lock_guard lock(mutex_);
    pendingEvents_ |= events;
    changed_.notify_all();
}

std::vector<std::string> FakeSerialApi::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<platform::Dcb> FakeSerialApi::writtenStates() const {
    std::lock_guard lock(mutex_);
    return written_;
}

platform::CommTimeouts FakeSerialApi::lastTimeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
}

std::uint32_t FakeSerialApi::lastMask() const {
    std::lock_guard lock(mutex_);
    return mask_;
}

int FakeSerialApi::openHandles() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(open_.size());
}

void FakeSerialApi::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
    written_.clear();
}

bool FakeSerialApi::record(const std::string& entry, const std::string& name) {
    calls_.push_back(entry);
    const auto failure = failures_.find(name);
    if (failure == failures_.end())
        return true;
    fakeLastError = failure->second;
    return false;
}

void FakeSerialApi::plugIn(const std::string& name) {
    std::lock_guard lock(mutex_);
    devices.insert(name);
}

platform::CommHandle FakeSerialApi::createFile(const std::string& name) {
    std::lock_guard lock(mutex_);
    if (!record("createFile " + name, "createFile"))
        return platform::kInvalidCommHandle;
    if (missing.count(name)) {
        fakeLastError = platform::kErrorFileNotFound;
        return platform::kInvalidCommHandle;
    }
    const platform::CommHandle handle = devices.count(name) ? nextHandle_++ : -(nextHandle_++);
    open_.insert(handle);
    return handle;
}

bool FakeSerialApi::isCharacterDevice(platform::CommHandle port) {
    return port > 0;
}

bool FakeSerialApi::closeHandle(platform::CommHandle port) {
    std::lock_guard lock(mutex_);
    open_.erase(port);
    changed_.notify_all();
    return record("closeHandle", "closeHandle");
}

bool FakeSerialApi::setCommMask(platform::CommHandle, std::uint32_t mask) {
    std::lock_guard lock(mutex_);
    mask_ = mask;
    return record("setCommMask", "setCommMask");
}

bool FakeSerialApi::setCommTimeouts(platform::CommHandle, const platform::CommTimeouts& t) {
    std::lock_guard lock(mutex_);
    timeouts_ = t;
    return record("setCommTimeouts", "setCommTimeouts");
}

bool FakeSerialApi::getCommState(platform::CommHandle, platform::Dcb& state) {
    std::lock_guard lock(mutex_);
    state = portState;
    return record("getCommState", "getCommState");
}

bool FakeSerialApi::setCommState(platform::CommHandle, const platform::Dcb& state) {
    std::lock_guard lock(mutex_);
    if (!record("setCommState", "setCommState"))
        return false;
    written_.push_back(state);
    return true;
}

bool FakeSerialApi::setupComm(platform::CommHandle, std::uint32_t in, std::uint32_t out) {
    std::lock_guard lock(mutex_);
    return record("setupComm " + std::to_string(in) + " " + std::to_string(out), "setupComm");
}

bool FakeSerialApi::escapeCommFunction(platform::CommHandle, std::uint32_t function) {
    std::lock_guard lock(mutex_);
    return record("escapeCommFunction " + std::to_string(function), "escapeCommFunction");
}

bool FakeSerialApi::clearCommError(platform::CommHandle, std::uint32_t& errors,
                                   platform::CommStatus& status) {
    std::lock_guard lock(mutex_);
    errors = 0;
    status = {};
    return record("clearCommError", "clearCommError");
}

bool FakeSerialApi::purgeComm(platform::CommHandle port, std::uint32_t flags) {
    std::lock_guard lock(mutex_);
    // A purge through a released handle would be a fault of the component.
    const std::string state = open_.count(port) ? "" : " (released!)";
    return record("purgeComm " + std::to_string(flags) + state, "purgeComm");
}

platform::EventHandle FakeSerialApi::createEvent() {
    std::lock_guard lock(mutex_);
    if (!record("createEvent", "createEvent"))
        return platform::kInvalidEventHandle;
    events_[nextEvent_] = false;
    return nextEvent_++;
}

void FakeSerialApi::setEvent(platform::EventHandle event) {
    std::lock_guard lock(mutex_);
    events_[event] = true;
    changed_.notify_all();
}

void FakeSerialApi::resetEvent(platform::EventHandle event) {
    std::lock_guard lock(mutex_);
    events_[event] = false;
}

void FakeSerialApi::closeEvent(platform::EventHandle event) {
    std::lock_guard lock(mutex_);
    events_.erase(event);
}

bool FakeSerialApi::waitCommEvent(platform::CommHandle port, platform::EventHandle wake,
                                  std::uint32_t& events) {
    std::unique_lock lock(mutex_);
    ++waits_;
    if (const auto failure = failures_.find("waitCommEvent"); failure != failures_.end()) {
        fakeLastError = failure->second;
        return false;
    }
    changed_.wait(lock,
                  [&] { return events_[wake] || (pendingEvents_ & mask_) || !open_.count(port); });
    if (events_[wake] || !open_.count(port))
        return false;
    events = pendingEvents_ & mask_;
    pendingEvents_ = 0;
    return true;
}

int FakeSerialApi::waits() const {
    std::lock_guard lock(mutex_);
    return waits_;
}

int FakeSerialApi::lastError() {
    return fakeLastError;
}
