#include "update/CommInt.h"

#include <optional>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

constexpr std::uint32_t kBaudRates[] = {110,    300,    600,    1200,    2400,   4800,
                                        9600,   14400,  19200,  38400,   56000,  57600,
                                        115200, 128000, 256000, 1500000, 3000000};
constexpr std::uint32_t kEventBits[] = {
    platform::kEvBreak,  platform::kEvCts,    platform::kEvDsr,
    platform::kEvErr,    platform::kEvRing,   platform::kEvRlsd,
    platform::kEvRxChar, platform::kEvRxFlag, platform::kEvTxEmpty};
constexpr std::uint32_t kOptionFlags[] = {platform::dcb::kParity, platform::dcb::kDsrSensitivity,
                                          platform::dcb::kTxContinueOnXoff,
                                          platform::dcb::kErrorChar, platform::dcb::kNull};

// A read returns at once with whatever has arrived.
constexpr platform::CommTimeouts kImmediateReads{0xFFFFFFFFu, 0, 0, 0, 0};

}  // namespace

std::uint32_t baudRateValue(TBaudrate rate) {
    return kBaudRates[rate];
}
std::uint32_t eventMaskBit(TCommEventType event) {
    return kEventBits[event];
}
std::uint32_t optionFlag(TCommOption option) {
    return kOptionFlags[option];
}

std::uint32_t eventMask(const TCommEventTypes& events) {
    std::uint32_t mask = 0;
    for (TCommEventType event : events) mask |= eventMaskBit(event);
    return mask;
}

const TCommEventTypes& allCommEvents() {
    static const TCommEventTypes all = {evBreak, evCts,    evDsr,    evError,  evRing,
                                        evRlsd,  evRxChar, evRxFlag, evTxEmpty};
    return all;
}

ECommError::ECommError(const std::string& message, int code)
    : AppError(message + " (Error: " + std::to_string(code) + ") "), ErrorCode(code) {}

void TCommEventChars::Assign(const TCommEventChars& source) {
    xon_ = source.xon_;
    xoff_ = source.xoff_;
    error_ = source.error_;
    eof_ = source.eof_;
    evt_ = source.evt_;
}

void TCommEventChars::set(char& field, char value) {
    field = value;
    if (owner_)
        owner_->UpdateDataControlBlock();
}

platform::Dcb composeDataControlBlock(platform::Dcb fromPort, const LineSettings& settings,
                                      const TCommEventChars& chars) {
    namespace f = platform::dcb;
    platform::Dcb block = fromPort;
    block.BaudRate = baudRateValue(settings.baudRate);
    block.Parity = settings.parity;
    block.StopBits = settings.stopBits;
    block.ByteSize = static_cast<std::uint8_t>(4 + settings.dataBits);
    block.XonChar = chars.XonChar();
    block.XoffChar = chars.XoffChar();
    block.ErrorChar = chars.ErrorChar();
    block.EofChar = chars.EofChar();
    block.EvtChar = chars.EvtChar();
    block.XonLim = block.XoffLim = static_cast<std::uint16_t>(settings.readBufSize / 4);
    switch (settings.flowControl) {
        case fcNone:
            block.Flags = f::kBinary;
            break;
        case fcCTS:
            block.Flags |= f::kOutxCtsFlow | f::kRtsControlHandshake;
            break;
        case fcDTR:
            block.Flags |= f::kOutxDsrFlow | f::kDtrControlHandshake;
            break;
        case fcSoftware:
            block.Flags |= f::kOutX | f::kInX;
            break;
        case fcDefault:
            break;
    }
    for (TCommOption option :
         {coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip}) {
        if (settings.options.count(option))
            block.Flags |= optionFlag(option);
        else
            block.Flags &= ~optionFlag(option);
    }
    return block;
}

constexpr std::chrono::milliseconds kPauseAfterFailedWait{20};
// Waits that fail this often in a row, without Stop(), mean the port is gone.
constexpr int kFailedWaitsOfAGonePort = 5;

// What the watcher thread and the component share. The thread keeps it alive
// after the component has let go of it.
struct TCommEventThread::Shared {
    std::shared_ptr<platform::SerialApi> api;
    platform::CommHandle port = platform::kInvalidCommHandle;
    platform::EventHandle wake = platform::kInvalidEventHandle;
    std::shared_ptr<CommEventHandOver> handOver;
    std::function<void(std::uint32_t)> target;

    std::mutex mutex;
    std::condition_variable changed;
    bool terminated = false;
    bool delivering = false;
    std::uint32_t pendingEvents = 0;
    bool released = false;

    ~Shared() {
        if (wake != platform::kInvalidEventHandle)
            api->closeEvent(wake);
    }

    // Watcher: hands the events to the owning thread and waits until they
    // were handled, or until Stop() gives up on them. False once stopped.
    static bool deliver(const std::shared_ptr<Shared>& self, std::uint32_t events) {
        {
            std::lock_guard lock(self->mutex);
            if (self->terminated)
                return false;
            if (!self->handOver)
                return true;
            self->delivering = true;
            self->pendingEvents = events;
        }
        // The task keeps the shared state alive, whatever a handler closes.
        self->handOver->post([self] { self->deliverOnOwningThread(); });
        std::unique_lock lock(self->mutex);
        self->changed.wait(lock, [&] { return !self->delivering || self->terminated; });
        return !self->terminated;
    }

    // Owning thread: runs the target with the waiting events; nothing after
    // Stop(), which the owning thread itself calls before the component goes.
    void deliverOnOwningThread() {
        std::uint32_t events = 0;
        if (!takeDelivery(events))
            return;
        target(events);
        finishDelivery();
    }

    // Main thread: the events waiting for delivery; nothing after Stop().
    bool takeDelivery(std::uint32_t& events) {
        std::lock_guard lock(mutex);
        if (terminated || !delivering)
            return false;
        events = pendingEvents;
        return true;
    }

    void finishDelivery() {
        std::lock_guard lock(mutex);
        delivering = false;
        changed.notify_all();
    }

    // True once Stop() was called, after waiting for it at most pause, or
    // without limit when pause is empty.
    bool waitForStop(std::optional<std::chrono::milliseconds> pause) {
        std::unique_lock lock(mutex);
        const auto stopped = [this] { return terminated; };
        if (!pause) {
            changed.wait(lock, stopped);
            return true;
        }
        return changed.wait_for(lock, *pause, stopped);
    }

    static void run(const std::shared_ptr<Shared>& self) {
        int failuresInARow = 0;
        for (;;) {
            if (self->waitForStop(std::chrono::milliseconds(0)))
                break;
            std::uint32_t events = 0;
            if (self->api->waitCommEvent(self->port, self->wake, events)) {
                failuresInARow = 0;
                if (!deliver(self, events))
                    break;
                continue;
            }
            // Woken by Stop(), or the wait failed: a pause, so that a failing
            // port is never waited on in a busy loop.
            if (self->waitForStop(kPauseAfterFailedWait))
                break;
            if (++failuresInARow < kFailedWaitsOfAGonePort)
                continue;
            // The device is gone (an adapter pulled out, the other end of a
            // pseudo-terminal closed): say so once, then only wait for Stop().
            if (deliver(self, platform::kEvErr))
                self->waitForStop(std::nullopt);
            break;
        }
        // The component releases the port only after this acknowledgement.
        self->api->purgeComm(self->port, platform::kPurgeAll);
        std::lock_guard lock(self->mutex);
        self->released = true;
        self->changed.notify_all();
    }
};

TCommEventThread::TCommEventThread(std::shared_ptr<platform::SerialApi> api,
                                   platform::CommHandle port, std::uint32_t mask,
                                   std::shared_ptr<CommEventHandOver> handOver,
                                   std::function<void(std::uint32_t)> deliver)
    : shared_(std::make_shared<Shared>()) {
    shared_->api = std::move(api);
    shared_->port = port;
    shared_->handOver = std::move(handOver);
    shared_->target = std::move(deliver);
    shared_->api->setCommMask(port, mask);
    // Without its wake-up event the watcher could never be stopped.
    shared_->wake = shared_->api->createEvent();
    if (shared_->wake == platform::kInvalidEventHandle)
        throw ECommError("Error creating the port watcher", shared_->api->lastError());
    std::thread([shared = shared_] { Shared::run(shared); }).detach();
}

void TCommEventThread::Stop() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->terminated = true;
        shared_->changed.notify_all();
    }
    shared_->api->setEvent(shared_->wake);
    // The watcher no longer waits for the main thread once terminated, so this
    // wait is short and cannot deadlock.
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait(lock, [this] { return shared_->released; });
}

TCustomComm::TCustomComm(std::shared_ptr<platform::SerialApi> api,
                         std::shared_ptr<CommEventHandOver> handOver)
    : api_(std::move(api)),
      handOver_(std::move(handOver)),
      eventChars_(std::make_unique<TCommEventChars>(this)) {}

TCustomComm::~TCustomComm() {
    Close();
}

void TCustomComm::raisePlatformError(const char* message) const {
    throw ECommError(message, api_->lastError());
}

void TCustomComm::CheckClosed() const {
    if (IsOpen())
        throw ECommError("Port already assigned (open)", -1);
}

void TCustomComm::SetDeviceName(const std::string& value) {
    onlyWhileClosed(deviceName_, value);
}
void TCustomComm::SetReadBufSize(std::int32_t value) {
    onlyWhileClosed(settings_.readBufSize, value);
}
void TCustomComm::SetWriteBufSize(std::int32_t value) {
    onlyWhileClosed(writeBufSize_, value);
}
void TCustomComm::SetMonitorEvents(const TCommEventTypes& value) {
    onlyWhileClosed(monitorEvents_, value);
}

void TCustomComm::CreateHandle() {
    handle_ = api_->createFile(deviceName_);
    if (handle_ == platform::kInvalidCommHandle)
        raisePlatformError("Error accessing specified device");
    if (!api_->isCharacterDevice(handle_)) {
        ReleaseHandle();
        throw ECommError("Invalid device handle, access denied", -1);
    }
}

void TCustomComm::ReleaseHandle() {
    api_->closeHandle(handle_);
    handle_ = platform::kInvalidCommHandle;
}

void TCustomComm::Open() {
    CheckClosed();
    CreateHandle();
    try {
        watcher_ = std::make_unique<TCommEventThread>(
            api_, handle_, eventMask(monitorEvents_), handOver_,
            [this](std::uint32_t events) { HandleCommEvent(events); });
    } catch (const ECommError&) {
        ReleaseHandle();  // nothing watches it, so it must not stay open
        throw;
    }
    UpdateCommTimeouts();
    UpdateDataControlBlock();
    if (!api_->setupComm(handle_, static_cast<std::uint32_t>(settings_.readBufSize),
                         static_cast<std::uint32_t>(writeBufSize_)))
        raisePlatformError("Error initializing Read/Write Buffers");
}

void TCustomComm::Close() {
    if (!IsOpen())
        return;
    if (watcher_) {
        watcher_->Stop();
        watcher_.reset();
    }
    ReleaseHandle();
}

void TCustomComm::UpdateCommTimeouts() {
    if (!api_->setCommTimeouts(handle_, kImmediateReads))
        raisePlatformError("Error updating CommTimeouts");
}

void TCustomComm::UpdateDataControlBlock() {
    if (!IsOpen())
        return;
    api_->getCommState(handle_, dataControlBlock_);
    dataControlBlock_ = composeDataControlBlock(dataControlBlock_, settings_, *eventChars_);
    if (!api_->setCommState(handle_, dataControlBlock_))
        raisePlatformError("Error updating DataControlBlock");
}

void TCustomComm::SetDtr(bool value) {
    EscapeFunction(value ? platform::kSetDtr : platform::kClrDtr);
}

void TCustomComm::EscapeFunction(std::uint32_t code) {
    if (!IsOpen())
        throw ECommError("Port not open, unable to complete operation", -1);
    if (!api_->escapeCommFunction(handle_, code))
        raisePlatformError("EscapeCommFunction failure");
}

void TCustomComm::HandleCommEvent(std::uint32_t mask) {
    std::uint32_t errors = 0;
    platform::CommStatus status;
    api_->clearCommError(handle_, errors, status);
    const auto notify = [&](const TNotifyEvent& handler, TCommEventType event) {
        if (handler && (mask & eventMaskBit(event)))
            handler(this);
    };
    notify(OnBreak, evBreak);
    notify(OnCts, evCts);
    notify(OnDsr, evDsr);
    if (OnError && (mask & eventMaskBit(evError)))
        OnError(this, static_cast<int>(errors));
    notify(OnRing, evRing);
    notify(OnRlsd, evRlsd);
    if (OnRxChar && (mask & eventMaskBit(evRxChar)) && status.inQueue > 0)
        OnRxChar(this, static_cast<int>(status.inQueue));
    notify(OnRxFlag, evRxFlag);
    notify(OnTxEmpty, evTxEmpty);
}
