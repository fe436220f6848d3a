#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "platform/SerialApi.h"
#include "platform/SerialNames.h"
#include "platform/posix/DcbTermios.h"
#include "platform/posix/LineRate.h"

namespace platform {
namespace {

thread_local int lastErrorNumber = 0;

int win32Error(int errnoValue, bool fromIoctl) {
    switch (errnoValue) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case EIO:
            return kErrorFileNotFound;
        case EACCES:
        case EBUSY:
        case EWOULDBLOCK:
        case EISDIR:  // Windows refuses a folder as "access denied"
            return kErrorAccessDenied;
        case ENAMETOOLONG:
            return kErrorFilenameExcedRange;
        case ENOTTY:
            return fromIoctl ? kErrorInvalidFunction : kErrorGenFailure;
        case EINVAL:
            return fromIoctl ? kErrorInvalidFunction : kErrorGenFailure;
        default:
            return kErrorGenFailure;
    }
}

bool fail(int errnoValue, bool fromIoctl = true) {
    lastErrorNumber = win32Error(errnoValue, fromIoctl);
    return false;
}

constexpr int kInvalidParameter = 87;
constexpr std::uint32_t kLineEvents = kEvCts | kEvDsr | kEvRlsd | kEvRing | kEvBreak | kEvErr;
// Line events have no wake-up that can be cancelled; their counters are read this often.
constexpr int kTickMs = 15;

// What the layer keeps of an open port between calls.
struct PortState {
    Dcb kept{.Flags = dcb::kBinary};
    std::uint32_t mask = 0;
    // Input queue length last seen, so that a character event is reported
    // once per arrival and not while old bytes wait.
    int lastInQueue = 0;
    int lastOutQueue = 0;
    serial_icounter_struct counters{};
    bool countersValid = false;
    // The error counters when the errors were last cleared.
    std::optional<LineErrorCounts> clearedErrors;
};

std::optional<LineErrorCounts> lineErrorCounts(int fd) {
    serial_icounter_struct counts{};
    if (ioctl(fd, TIOCGICOUNT, &counts) != 0)
        return std::nullopt;
    const auto count = [](int value) { return static_cast<std::uint32_t>(value); };
    return LineErrorCounts{count(counts.frame), count(counts.overrun), count(counts.buf_overrun),
                           count(counts.parity), count(counts.brk)};
}

class PosixSerialApi final : public SerialApi {
  public:
    explicit PosixSerialApi(std::string deviceFolder) : deviceFolder_(std::move(deviceFolder)) {}

    CommHandle createFile(const std::string& name) override {
        if (name.empty()) {  // as Windows answers an empty name
            lastErrorNumber = kErrorPathNotFound;
            return kInvalidCommHandle;
        }
        const std::string path = devicePathForName(name, deviceFolder_);
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            fail(errno, false);
            return kInvalidCommHandle;
        }
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISCHR(info.st_mode)) {
            if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int error = errno;
                close(fd);
                fail(error == EWOULDBLOCK ? EBUSY : error, false);
                return kInvalidCommHandle;
            }
            termios settings{};
            if (tcgetattr(fd, &settings) != 0 && errno == EIO) {
                // A serial node without hardware behind it: no port at all.
                close(fd);
                fail(EIO);
                return kInvalidCommHandle;
            }
            ioctl(fd, TIOCEXCL);
        }
        std::lock_guard lock(mutex_);
        ports_[fd] = PortState{.clearedErrors = lineErrorCounts(fd)};
        return fd;
    }

    bool isCharacterDevice(CommHandle port) override {
        struct stat info {};
        return fstat(static_cast<int>(port), &info) == 0 && S_ISCHR(info.st_mode);
    }

    bool closeHandle(CommHandle port) override {
        const int fd = static_cast<int>(port);
        {
            std::lock_guard lock(mutex_);
            ports_.erase(fd);
        }
        ioctl(fd, TIOCNXCL);
        return close(fd) == 0 || fail(errno);
    }

    bool setCommMask(CommHandle port, std::uint32_t mask) override {
        std::lock_guard lock(mutex_);
        const auto found = ports_.find(static_cast<int>(port));
        if (found == ports_.end())
            return fail(EBADF);
        found->second.mask = mask;
        return true;
    }

    bool setCommTimeouts(CommHandle port, const CommTimeouts&) override {
        // Reads never block on this layer; the time-outs need only a terminal.
        termios settings{};
        return tcgetattr(static_cast<int>(port), &settings) == 0 || fail(errno);
    }

    bool getCommState(CommHandle port, Dcb& state) override {
        termios settings{};
        if (tcgetattr(static_cast<int>(port), &settings) != 0)
            return fail(errno);
        std::lock_guard lock(mutex_);
        state = termiosToDcb(settings, ports_[static_cast<int>(port)].kept);
        if (const auto rate = lineRate(static_cast<int>(port)))
            state.BaudRate = *rate;
        return true;
    }

    bool setCommState(CommHandle port, const Dcb& state) override {
        const int fd = static_cast<int>(port);
        termios current{};
        if (tcgetattr(fd, &current) != 0)
            return fail(errno);
        const auto wanted = dcbToTermios(state, current);
        if (!wanted) {
            lastErrorNumber = kInvalidParameter;
            return false;
        }
        if (tcsetattr(fd, TCSANOW, &*wanted) != 0)
            return fail(errno);
        if (!isTableRate(state.BaudRate) && !setLineRate(fd, state.BaudRate)) {
            if (errno != EINVAL)
                return fail(errno);
            lastErrorNumber = kInvalidParameter;
            return false;
        }
        std::lock_guard lock(mutex_);
        ports_[fd].kept = state;
        return true;
    }

    bool setupComm(CommHandle port, std::uint32_t, std::uint32_t) override {
        // The kernel sizes its own queues; the call only needs a terminal.
        termios settings{};
        return tcgetattr(static_cast<int>(port), &settings) == 0 || fail(errno);
    }

    bool escapeCommFunction(CommHandle port, std::uint32_t function) override {
        int bits = TIOCM_DTR;
        if (function != kSetDtr && function != kClrDtr)
            return fail(EINVAL);
        const unsigned long request = function == kSetDtr ? TIOCMBIS : TIOCMBIC;
        return ioctl(static_cast<int>(port), request, &bits) == 0 || fail(errno);
    }

    bool clearCommError(CommHandle port, std::uint32_t& errors, CommStatus& status) override {
        errors = 0;
        int inQueue = 0;
        int outQueue = 0;
        const int fd = static_cast<int>(port);
        if (ioctl(fd, FIONREAD, &inQueue) != 0)
            return fail(errno);
        if (const auto counts = lineErrorCounts(fd)) {
            std::lock_guard lock(mutex_);
            PortState& state = ports_[fd];
            errors = lineErrorFlags(state.clearedErrors.value_or(*counts), *counts);
            state.clearedErrors = *counts;
        }
        ioctl(fd, TIOCOUTQ, &outQueue);
        status.inQueue = static_cast<std::uint32_t>(inQueue);
        status.outQueue = static_cast<std::uint32_t>(outQueue);
        return true;
    }

    bool purgeComm(CommHandle port, std::uint32_t) override {
        return tcflush(static_cast<int>(port), TCIOFLUSH) == 0 || fail(errno);
    }

    EventHandle createEvent() override {
        const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (fd < 0)
            fail(errno);
        return fd < 0 ? kInvalidEventHandle : fd;
    }

    void setEvent(EventHandle event) override {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(static_cast<int>(event), &one, sizeof one);
    }

    void resetEvent(EventHandle event) override {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = read(static_cast<int>(event), &count, sizeof count);
    }

    void closeEvent(EventHandle event) override { close(static_cast<int>(event)); }

    bool waitCommEvent(CommHandle port, EventHandle wake, std::uint32_t& events) override {
        const int fd = static_cast<int>(port);
        for (;;) {
            PortState state;
            {
                std::lock_guard lock(mutex_);
                const auto found = ports_.find(fd);
                if (found == ports_.end())
                    return fail(EBADF);
                state = found->second;
            }
            const bool inputPending = state.lastInQueue > 0;
            const bool watchInput = (state.mask & (kEvRxChar | kEvRxFlag));
            const bool ticking =
                (state.mask & (kLineEvents | kEvTxEmpty)) || (watchInput && inputPending);
            pollfd fds[2] = {{static_cast<int>(wake), POLLIN, 0}, {fd, 0, 0}};
            if (watchInput && !inputPending)
                fds[1].events = POLLIN;
            const int ready = poll(fds, 2, ticking ? kTickMs : -1);
            if (ready < 0 && errno != EINTR)
                return fail(errno);
            if (fds[0].revents & POLLIN)
                return false;

            std::uint32_t happened = 0;
            // Hung up with CLOCAL set: the device is gone for good.
            if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))
                return fail(EIO);
            int inQueue = 0;
            if (ioctl(fd, FIONREAD, &inQueue) == 0) {
                if (inQueue > state.lastInQueue)
                    happened |= kEvRxChar;
                state.lastInQueue = inQueue;
            }
            happened |= lineEvents(fd, state);
            {
                std::lock_guard lock(mutex_);
                const auto found = ports_.find(fd);
                if (found == ports_.end())
                    return fail(EBADF);
                const std::uint32_t mask = found->second.mask;
                state.kept = found->second.kept;
                state.mask = mask;
                found->second = state;
            }
            if (happened & state.mask) {
                events = happened & state.mask;
                return true;
            }
        }
    }

    int lastError() override { return lastErrorNumber; }

  private:
    static std::uint32_t lineEvents(int fd, PortState& state) {
        std::uint32_t happened = 0;
        int outQueue = 0;
        if ((state.mask & kEvTxEmpty) && ioctl(fd, TIOCOUTQ, &outQueue) == 0) {
            if (outQueue == 0 && state.lastOutQueue > 0)
                happened |= kEvTxEmpty;
            state.lastOutQueue = outQueue;
        }
        serial_icounter_struct now{};
        if (!(state.mask & kLineEvents) || ioctl(fd, TIOCGICOUNT, &now) != 0)
            return happened;
        if (state.countersValid) {
            const serial_icounter_struct& was = state.counters;
            if (now.cts != was.cts)
                happened |= kEvCts;
            if (now.dsr != was.dsr)
                happened |= kEvDsr;
            if (now.dcd != was.dcd)
                happened |= kEvRlsd;
            if (now.rng != was.rng)
                happened |= kEvRing;
            if (now.brk != was.brk)
                happened |= kEvBreak;
            if (now.frame != was.frame || now.overrun != was.overrun || now.parity != was.parity ||
                now.buf_overrun != was.buf_overrun)
                happened |= kEvErr;
        }
        state.counters = now;
        state.countersValid = true;
        return happened;
    }

    std::string deviceFolder_;
    std::mutex mutex_;
    std::map<int, PortState> ports_;
};

}  // namespace

std::shared_ptr<SerialApi> makeSystemSerialApi(const std::string& deviceFolder) {
    return std::make_shared<PosixSerialApi>(deviceFolder);
}

std::shared_ptr<SerialApi> systemSerialApi() {
    static const std::shared_ptr<SerialApi> api = makeSystemSerialApi();
    return api;
}

}  // namespace platform
