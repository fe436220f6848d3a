#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The serial port calls of the serial port component, shaped like the Win32
// calls it was designed on. Error numbers are Win32 numbers on every platform.
// Every call may be made from any thread; lastError() belongs to the thread
// that made the failed call.
namespace platform {

using CommHandle = std::intptr_t;
inline constexpr CommHandle kInvalidCommHandle = -1;
using EventHandle = std::intptr_t;
inline constexpr EventHandle kInvalidEventHandle = -1;

inline constexpr int kErrorInvalidFunction = 1;
inline constexpr int kErrorFileNotFound = 2;
inline constexpr int kErrorPathNotFound = 3;
inline constexpr int kErrorAccessDenied = 5;
inline constexpr int kErrorGenFailure = 31;
inline constexpr int kErrorFilenameExcedRange = 206;

// Event mask bits.
inline constexpr std::uint32_t kEvRxChar = 0x0001;
inline constexpr std::uint32_t kEvRxFlag = 0x0002;
inline constexpr std::uint32_t kEvTxEmpty = 0x0004;
inline constexpr std::uint32_t kEvCts = 0x0008;
inline constexpr std::uint32_t kEvDsr = 0x0010;
inline constexpr std::uint32_t kEvRlsd = 0x0020;
inline constexpr std::uint32_t kEvBreak = 0x0040;
inline constexpr std::uint32_t kEvErr = 0x0080;
inline constexpr std::uint32_t kEvRing = 0x0100;

// Escape functions and purge flags.
inline constexpr std::uint32_t kSetDtr = 5;
inline constexpr std::uint32_t kClrDtr = 6;
inline constexpr std::uint32_t kPurgeAll = 0x000F;

// Flag bits of the device-control block.
namespace dcb {
inline constexpr std::uint32_t kBinary = 0x0001;
inline constexpr std::uint32_t kParity = 0x0002;
inline constexpr std::uint32_t kOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t kOutxDsrFlow = 0x0008;
inline constexpr std::uint32_t kDtrControlHandshake = 0x0020;
inline constexpr std::uint32_t kDsrSensitivity = 0x0040;
inline constexpr std::uint32_t kTxContinueOnXoff = 0x0080;
inline constexpr std::uint32_t kOutX = 0x0100;
inline constexpr std::uint32_t kInX = 0x0200;
inline constexpr std::uint32_t kErrorChar = 0x0400;
inline constexpr std::uint32_t kNull = 0x0800;
inline constexpr std::uint32_t kRtsControlHandshake = 0x2000;
}  // namespace dcb

// The device-control block: line settings and flow control of a port.
struct Dcb {
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    bool operator==(const Dcb&) const = default;
};

struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
    bool operator==(const CommTimeouts&) const = default;
};

struct CommStatus {
    std::uint32_t inQueue = 0;
    std::uint32_t outQueue = 0;
};

class SerialApi {
  public:
    virtual ~SerialApi() = default;

    // Opens a device by name, exclusively, only if it exists; the invalid
    // handle and lastError() on failure.
    virtual CommHandle createFile(const std::string& name) = 0;
    virtual bool isCharacterDevice(CommHandle port) = 0;
    virtual bool closeHandle(CommHandle port) = 0;

    virtual bool setCommMask(CommHandle port, std::uint32_t mask) = 0;
    virtual bool setCommTimeouts(CommHandle port, const CommTimeouts& timeouts) = 0;
    virtual bool getCommState(CommHandle port, Dcb& state) = 0;
    virtual bool setCommState(CommHandle port, const Dcb& state) = 0;
    virtual bool setupComm(CommHandle port, std::uint32_t inQueue, std::uint32_t outQueue) = 0;
    virtual bool escapeCommFunction(CommHandle port, std::uint32_t function) = 0;
    virtual bool clearCommError(CommHandle port, std::uint32_t& errors, CommStatus& status) = 0;
    virtual bool purgeComm(CommHandle port, std::uint32_t flags) = 0;

    // A manual-reset event, not signalled when created.
    virtual EventHandle createEvent() = 0;
    virtual void setEvent(EventHandle event) = 0;
    virtual void resetEvent(EventHandle event) = 0;
    virtual void closeEvent(EventHandle event) = 0;

    // Waits without a time limit for an event of the port's mask or for wake
    // to be set. True with the events that occurred; false when woken or when
    // the wait failed.
    virtual bool waitCommEvent(CommHandle port, EventHandle wake, std::uint32_t& events) = 0;

    virtual int lastError() = 0;
};

// The platform's own serial calls; COM names designate the devices below
// deviceFolder.
std::shared_ptr<SerialApi> makeSystemSerialApi(const std::string& deviceFolder = "/dev");

// The one the program uses.
std::shared_ptr<SerialApi> systemSerialApi();

}  // namespace platform
