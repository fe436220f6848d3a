#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "common/AppError.h"
#include "platform/SerialApi.h"

enum TBaudrate : std::uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
    br1500000,
    br3000000
};
enum TParity : std::uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum TStopbits : std::uint8_t { sb10, sb15, sb20 };
enum TDatabits : std::uint8_t { da4, da5, da6, da7, da8 };
enum TFlowControl : std::uint8_t { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommEventType {
    evBreak,
    evCts,
    evDsr,
    evError,
    evRing,
    evRlsd,
    evRxChar,
    evRxFlag,
    evTxEmpty
};
enum TCommOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
using TCommEventTypes = std::set<TCommEventType>;
using TCommOptions = std::set<TCommOption>;

std::uint32_t baudRateValue(TBaudrate rate);
std::uint32_t eventMaskBit(TCommEventType event);
std::uint32_t optionFlag(TCommOption option);
// The platform event mask for a set of events (0x01FF for all nine).
std::uint32_t eventMask(const TCommEventTypes& events);
const TCommEventTypes& allCommEvents();

// Every failure of the serial port component: the message ends in
// " (Error: <code>) "; the code is the platform's error number, or -1.
class ECommError : public AppError {
  public:
    ECommError(const std::string& message, int code);
    int ErrorCode;
};

class TCustomComm;

// The five special characters of a port; setting one applies it at once.
class TCommEventChars {
  public:
    explicit TCommEventChars(TCustomComm* owner) : owner_(owner) {}
    // Copies the five characters and nothing more.
    void Assign(const TCommEventChars& source);

    char XonChar() const { return xon_; }
    char XoffChar() const { return xoff_; }
    char ErrorChar() const { return error_; }
    char EofChar() const { return eof_; }
    char EvtChar() const { return evt_; }
    void SetXonChar(char value) { set(xon_, value); }
    void SetXoffChar(char value) { set(xoff_, value); }
    void SetErrorChar(char value) { set(error_, value); }
    void SetEofChar(char value) { set(eof_, value); }
    void SetEvtChar(char value) { set(evt_, value); }

  private:
    void set(char& field, char value);
    TCustomComm* owner_;
    char xon_ = 17;
    char xoff_ = 19;
    char error_ = 0;
    char eof_ = 0;
    char evt_ = 0;
};

// The device-control block the component writes: the port's own block with
// the line settings, special characters, XON/XOFF limits, flow control and
// options applied.
struct LineSettings {
    TBaudrate baudRate = br9600;
    TParity parity = paNone;
    TStopbits stopBits = sb10;
    TDatabits dataBits = da8;
    TFlowControl flowControl = fcDefault;
    TCommOptions options;
    std::int32_t readBufSize = 4096;
};
platform::Dcb composeDataControlBlock(platform::Dcb fromPort, const LineSettings& settings,
                                      const TCommEventChars& chars);

// How the watcher's events reach the thread that owns the component (in the
// program, the user-interface thread's event loop).
class CommEventHandOver {
  public:
    virtual ~CommEventHandOver() = default;
    // Runs task later on the owning thread.
    virtual void post(std::function<void()> task) = 0;
};

// The watcher of one open port: waits for port events on a thread of its own
// and hands each to the owning thread, waiting until it has been handled.
// Without a hand-over nothing is delivered. Stop() wakes it; once stopped it
// delivers nothing and releases the port before Stop() returns, without ever
// waiting for the owning thread.
class TCommEventThread {
  public:
    // deliver runs on the owning thread with the events of each wait.
    TCommEventThread(std::shared_ptr<platform::SerialApi> api, platform::CommHandle port,
                     std::uint32_t mask, std::shared_ptr<CommEventHandOver> handOver,
                     std::function<void(std::uint32_t events)> deliver);
    void Stop();

    struct Shared;
    const std::shared_ptr<Shared>& shared() const { return shared_; }

  private:
    std::shared_ptr<Shared> shared_;
};

class TCustomComm {
  public:
    using TNotifyEvent = std::function<void(TCustomComm* sender)>;
    using TCommErrorEvent = std::function<void(TCustomComm* sender, int errors)>;
    using TCommRxCharEvent = std::function<void(TCustomComm* sender, int count)>;

    // Events reach the handlers through handOver; without one, none do.
    explicit TCustomComm(std::shared_ptr<platform::SerialApi> api = platform::systemSerialApi(),
                         std::shared_ptr<CommEventHandOver> handOver = nullptr);
    TCustomComm(const TCustomComm&) = delete;
    TCustomComm& operator=(const TCustomComm&) = delete;
    virtual ~TCustomComm();

    void Open();
    void Close();
    bool IsOpen() const { return handle_ != platform::kInvalidCommHandle; }
    void SetDtr(bool value);
    void EscapeFunction(std::uint32_t code);

    const std::string& DeviceName() const { return deviceName_; }
    void SetDeviceName(const std::string& value);
    std::int32_t ReadTimeout() const { return readTimeout_; }
    void SetReadTimeout(std::int32_t value) { readTimeout_ = value; }
    std::int32_t WriteTimeout() const { return writeTimeout_; }
    void SetWriteTimeout(std::int32_t value) { writeTimeout_ = value; }
    std::int32_t ReadBufSize() const { return settings_.readBufSize; }
    void SetReadBufSize(std::int32_t value);
    std::int32_t WriteBufSize() const { return writeBufSize_; }
    void SetWriteBufSize(std::int32_t value);
    const TCommEventTypes& MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(const TCommEventTypes& value);
    TBaudrate BaudRate() const { return settings_.baudRate; }
    void SetBaudRate(TBaudrate value) { applyAtOnce(settings_.baudRate, value); }
    TParity Parity() const { return settings_.parity; }
    void SetParity(TParity value) { applyAtOnce(settings_.parity, value); }
    TStopbits Stopbits() const { return settings_.stopBits; }
    void SetStopbits(TStopbits value) { applyAtOnce(settings_.stopBits, value); }
    TDatabits Databits() const { return settings_.dataBits; }
    void SetDatabits(TDatabits value) { applyAtOnce(settings_.dataBits, value); }
    TCommEventChars& EventChars() { return *eventChars_; }
    const TCommOptions& Options() const { return settings_.options; }
    void SetOptions(const TCommOptions& value) { applyAtOnce(settings_.options, value); }
    TFlowControl FlowControl() const { return settings_.flowControl; }
    void SetFlowControl(TFlowControl value) { applyAtOnce(settings_.flowControl, value); }

    TNotifyEvent OnBreak, OnCts, OnDsr, OnRing, OnRlsd, OnRxFlag, OnTxEmpty;
    TCommErrorEvent OnError;
    TCommRxCharEvent OnRxChar;

    // Writes the line settings to the open port; does nothing while closed.
    void UpdateDataControlBlock();

  protected:
    virtual void CreateHandle();
    void CheckClosed() const;
    void ReleaseHandle();
    void UpdateCommTimeouts();
    void HandleCommEvent(std::uint32_t mask);

  private:
    template <typename T>
    void applyAtOnce(T& field, const T& value) {
        if (field == value)
            return;
        field = value;
        UpdateDataControlBlock();
    }
    template <typename T>
    void onlyWhileClosed(T& field, const T& value) {
        if (field == value)
            return;
        CheckClosed();
        field = value;
    }
    [[noreturn]] void raisePlatformError(const char* message) const;

    std::shared_ptr<platform::SerialApi> api_;
    std::shared_ptr<CommEventHandOver> handOver_;
    platform::CommHandle handle_ = platform::kInvalidCommHandle;
    platform::Dcb dataControlBlock_;
    std::string deviceName_ = "Com2";
    std::int32_t readTimeout_ = 1000;
    std::int32_t writeTimeout_ = 1000;
    std::int32_t writeBufSize_ = 2048;
    TCommEventTypes monitorEvents_ = allCommEvents();
    LineSettings settings_;
    std::unique_ptr<TCommEventThread> watcher_;
    std::unique_ptr<TCommEventChars> eventChars_;
};

// Publishes the properties for a window to set; adds nothing.
class TComm : public TCustomComm {
  public:
    using TCustomComm::TCustomComm;
};
