#include <windows.h>

#include <cstring>
#include <memory>

#include "platform/SerialApi.h"
#include "platform/SerialNames.h"

#include "platform/win32/Wide.h"

namespace platform {
namespace {

thread_local int lastErrorNumber = 0;

bool fail() {
    lastErrorNumber = static_cast<int>(GetLastError());
    return false;
}

HANDLE toHandle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}
std::intptr_t fromHandle(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

// The flag word of the platform's block is the bit field after its length and
// baud rate; our flag values are its bit positions.
constexpr std::size_t kFlagsOffset = 2 * sizeof(DWORD);

DCB toPlatform(const Dcb& block) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = block.BaudRate;
    const DWORD flags = block.Flags;
    std::memcpy(reinterpret_cast<char*>(&dcb) + kFlagsOffset, &flags, sizeof flags);
    dcb.XonLim = block.XonLim;
    dcb.XoffLim = block.XoffLim;
    dcb.ByteSize = block.ByteSize;
    dcb.Parity = block.Parity;
    dcb.StopBits = block.StopBits;
    dcb.XonChar = block.XonChar;
    dcb.XoffChar = block.XoffChar;
    dcb.ErrorChar = block.ErrorChar;
    dcb.EofChar = block.EofChar;
    dcb.EvtChar = block.EvtChar;
    return dcb;
}

Dcb fromPlatform(const DCB& dcb) {
    Dcb block;
    block.BaudRate = dcb.BaudRate;
    DWORD flags = 0;
    std::memcpy(&flags, reinterpret_cast<const char*>(&dcb) + kFlagsOffset, sizeof flags);
    block.Flags = flags;
    block.XonLim = dcb.XonLim;
    block.XoffLim = dcb.XoffLim;
    block.ByteSize = dcb.ByteSize;
    block.Parity = dcb.Parity;
    block.StopBits = dcb.StopBits;
    block.XonChar = dcb.XonChar;
    block.XoffChar = dcb.XoffChar;
    block.ErrorChar = dcb.ErrorChar;
    block.EofChar = dcb.EofChar;
    block.EvtChar = dcb.EvtChar;
    return block;
}

// One overlapped wait for a port event: the system writes into it until the
// wait has ended.
struct PendingWait {
    OVERLAPPED overlapped{};
    DWORD mask = 0;
};

// Ends a pending event wait the usual way, by setting the port's mask again,
// and, where that is not enough, by cancelling it; never waits without a
// bound (under Wine the cancel is refused and an unbounded wait never returns).
bool endPendingWait(HANDLE port, PendingWait& wait) {
    constexpr DWORD kBoundMs = 1000;
    DWORD mask = 0;
    if (GetCommMask(port, &mask))
        SetCommMask(port, mask);
    if (WaitForSingleObject(wait.overlapped.hEvent, kBoundMs) == WAIT_OBJECT_0)
        return true;
    CancelIoEx(port, &wait.overlapped);
    return WaitForSingleObject(wait.overlapped.hEvent, kBoundMs) == WAIT_OBJECT_0;
}

class Win32SerialApi final : public SerialApi {
  public:
    CommHandle createFile(const std::string& name) override {
        const HANDLE port =
            CreateFileW(toWide(devicePathForName(name)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                        nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (port == INVALID_HANDLE_VALUE) {
            fail();
            return kInvalidCommHandle;
        }
        return fromHandle(port);
    }

    bool isCharacterDevice(CommHandle port) override {
        return GetFileType(toHandle(port)) == FILE_TYPE_CHAR;
    }

    bool closeHandle(CommHandle port) override { return CloseHandle(toHandle(port)) || fail(); }

    bool setCommMask(CommHandle port, std::uint32_t mask) override {
        return SetCommMask(toHandle(port), mask) || fail();
    }

    bool setCommTimeouts(CommHandle port, const CommTimeouts& t) override {
        COMMTIMEOUTS timeouts{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                              t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier,
                              t.WriteTotalTimeoutConstant};
        return SetCommTimeouts(toHandle(port), &timeouts) || fail();
    }

    bool getCommState(CommHandle port, Dcb& state) override {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(toHandle(port), &dcb))
            return fail();
        state = fromPlatform(dcb);
        return true;
    }

    bool setCommState(CommHandle port, const Dcb& state) override {
        DCB dcb = toPlatform(state);
        return SetCommState(toHandle(port), &dcb) || fail();
    }

    bool setupComm(CommHandle port, std::uint32_t inQueue, std::uint32_t outQueue) override {
        return SetupComm(toHandle(port), inQueue, outQueue) || fail();
    }

    bool escapeCommFunction(CommHandle port, std::uint32_t function) override {
        return EscapeCommFunction(toHandle(port), function) || fail();
    }

    bool clearCommError(CommHandle port, std::uint32_t& errors, CommStatus& status) override {
        DWORD flags = 0;
        COMSTAT stat{};
        if (!ClearCommError(toHandle(port), &flags, &stat))
            return fail();
        errors = flags;
        status.inQueue = stat.cbInQue;
        status.outQueue = stat.cbOutQue;
        return true;
    }

    bool purgeComm(CommHandle port, std::uint32_t flags) override {
        return PurgeComm(toHandle(port), flags) || fail();
    }

    EventHandle createEvent() override {
        const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!event)
            fail();
        return event ? fromHandle(event) : kInvalidEventHandle;
    }

    void setEvent(EventHandle event) override { SetEvent(toHandle(event)); }
    void resetEvent(EventHandle event) override { ResetEvent(toHandle(event)); }
    void closeEvent(EventHandle event) override { CloseHandle(toHandle(event)); }

    bool waitCommEvent(CommHandle port, EventHandle wake, std::uint32_t& events) override {
        auto wait = std::make_unique<PendingWait>();
        wait->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!wait->overlapped.hEvent)
            return fail();
        const HANDLE handle = toHandle(port);
        bool happened = WaitCommEvent(handle, &wait->mask, &wait->overlapped) != 0;
        if (!happened && GetLastError() == ERROR_IO_PENDING) {
            const HANDLE waits[2] = {wait->overlapped.hEvent, toHandle(wake)};
            DWORD transferred = 0;
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
                happened = GetOverlappedResult(handle, &wait->overlapped, &transferred, FALSE) != 0;
            } else if (!endPendingWait(handle, *wait)) {
                // The system may still write into the record: it is left to it.
                wait.release();
                return false;
            }
        } else if (!happened) {
            fail();
        }
        CloseHandle(wait->overlapped.hEvent);
        events = wait->mask;
        return happened;
    }

    int lastError() override { return lastErrorNumber; }
};

}  // namespace

std::shared_ptr<SerialApi> makeSystemSerialApi(const std::string&) {
    return std::make_shared<Win32SerialApi>();
}

std::shared_ptr<SerialApi> systemSerialApi() {
    static const std::shared_ptr<SerialApi> api = makeSystemSerialApi();
    return api;
}

}  // namespace platform
