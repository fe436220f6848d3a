#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

#include "platform/posix/LineRate.h"
#include "support/QtWait.h"
#include "support/TempFolder.h"
#include "update/ComPortDiscovery.h"
#include "update/CommInt.h"
#include "update/MainThreadHandOver.h"

namespace {

using Clock = std::chrono::steady_clock;

// A pseudo-terminal whose device side is linked into a device folder of the test's own.
class Pty {
  public:
    Pty(const std::string& deviceFolder, const std::string& node) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        // A full buffer must never block the test's sender.
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        grantpt(master_);
        unlockpt(master_);
        std::filesystem::create_symlink(ptsname(master_), deviceFolder + "/" + node);
    }
    ~Pty() { closeMaster(); }
    // The controlling side; its terminal settings are those of the device side.
    int master() const { return master_; }
    void send(const std::string& bytes) {
        [[maybe_unused]] const ssize_t n = write(master_, bytes.data(), bytes.size());
    }
    void closeMaster() {
        if (master_ >= 0)
            close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
};

int openDescriptors() {
    int count = 0;
    DIR* fds = opendir("/proc/self/fd");
    while (readdir(fds)) ++count;
    closedir(fds);
    return count;
}

std::string openError(TComm& comm, int* code = nullptr) {
    try {
        comm.Open();
    } catch (const ECommError& e) {
        if (code)
            *code = e.ErrorCode;
        return e.what();
    }
    return "(opened)";
}

class SerialPortTest : public testing::Test {
  protected:
    TempFolder devices;
    std::shared_ptr<platform::SerialApi> api = platform::makeSystemSerialApi(devices.path());
};

TEST_F(SerialPortTest, OpensAPseudoTerminalExclusivelyAndDeliversData) {
    Pty pty(devices.path(), "ttyS0");
    TComm comm(api, mainThreadHandOver());
    comm.SetDeviceName("COM1");
    ASSERT_EQ(openError(comm), "(opened)");

    // A second opener is refused as access denied, and discovery still lists the port.
    TComm second(api, mainThreadHandOver());
    second.SetDeviceName("com1");
    int code = 0;
    EXPECT_EQ(openError(second, &code), "Error accessing specified device (Error: 5) ");
    EXPECT_EQ(discoverComPorts(*api), std::vector<std::string>{"1"});

    int received = 0;
    bool onMainThread = false;
    comm.OnRxChar = [&](TCustomComm*, int count) {
        received = count;
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    };
    pty.send("abc");
    ASSERT_TRUE(waitUntil([&] { return received > 0; }));
    EXPECT_EQ(received, 3);
    EXPECT_TRUE(onMainThread);

    // Pseudo-terminals have no modem lines: the failure carries its error number.
    EXPECT_THROW(comm.SetDtr(true), ECommError);
    comm.Close();
    EXPECT_EQ(openError(second), "(opened)");
}

TEST_F(SerialPortTest, LineSettingsReplaceWhatThePortHadBefore) {
    Pty pty(devices.path(), "ttyS0");
    termios before{};
    ASSERT_EQ(tcgetattr(pty.master(), &before), 0);
    before.c_cflag |= CRTSCTS | CSTOPB;
    before.c_iflag |= INPCK | IXON | IXOFF | IXANY;
    ASSERT_EQ(tcsetattr(pty.master(), TCSANOW, &before), 0);

    TComm comm(api, mainThreadHandOver());
    comm.SetDeviceName("COM1");
    comm.SetFlowControl(fcNone);
    ASSERT_EQ(openError(comm), "(opened)");
    termios after{};
    ASSERT_EQ(tcgetattr(pty.master(), &after), 0);
    EXPECT_EQ(after.c_cflag & (CRTSCTS | CSTOPB), 0u);
    EXPECT_EQ(after.c_iflag & (INPCK | IXON | IXOFF | IXANY), 0u);

    // The default keeps the port's own flow control, as the wizard's port does.
    comm.Close();
    ASSERT_EQ(tcsetattr(pty.master(), TCSANOW, &before), 0);
    comm.SetFlowControl(fcDefault);
    ASSERT_EQ(openError(comm), "(opened)");
    ASSERT_EQ(tcgetattr(pty.master(), &after), 0);
    EXPECT_EQ(after.c_cflag & CRTSCTS, static_cast<tcflag_t>(CRTSCTS));
    EXPECT_EQ(after.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));

    for (const auto& [rate, bits] : {std::pair{br14400, 14400u},
                                     {br256000, 256000u},
                                     {br19200, 19200u},
                                     {br128000, 128000u}}) {
        comm.SetBaudRate(rate);
        EXPECT_EQ(platform::lineRate(pty.master()), bits);
    }
}

TEST_F(SerialPortTest, APseudoTerminalWhoseOtherEndClosesRaisesOneError) {
    Pty pty(devices.path(), "ttyS0");
    TComm comm(api, mainThreadHandOver());
    comm.SetDeviceName("COM1");
    int errors = 0;
    comm.OnError = [&](TCustomComm*, int) { ++errors; };
    ASSERT_EQ(openError(comm), "(opened)");
    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return errors > 0; }));
    // The watcher alone runs meanwhile, and uses no processor time of note.
    const std::clock_t cpuBefore = std::clock();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(std::clock() - cpuBefore, CLOCKS_PER_SEC / 100);
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(errors, 1);
    comm.Close();
}

TEST_F(SerialPortTest, BadNamesFailWithTheirErrorAndLeakNothing) {
    writeFile(devices / "plain", "x");
    std::filesystem::create_directory(devices / "folder");
    const int before = openDescriptors();
    struct Case {
        std::string name;
        std::string text;
    };
    const Case cases[] = {
        {"", "Error accessing specified device (Error: 3) "},
        {"COM0", "Error accessing specified device (Error: 2) "},
        {"COM257", "Error accessing specified device (Error: 2) "},
        {"COM2", "Error accessing specified device (Error: 2) "},
        {"COM200", "Error accessing specified device (Error: 2) "},
        {"\\\\.\\COM3", "Error accessing specified device (Error: 2) "},
        {std::string(5000, 'C'), "Error accessing specified device (Error: 206) "},
        {devices / "plain", "Invalid device handle, access denied (Error: -1) "},
        {devices / "folder", "Error accessing specified device (Error: 5) "},
        {devices / "missing", "Error accessing specified device (Error: 2) "},
    };
    for (const Case& c : cases) {
        TComm comm(api, mainThreadHandOver());
        comm.SetDeviceName(c.name);
        EXPECT_EQ(openError(comm), c.text) << c.name.substr(0, 40);
        EXPECT_FALSE(comm.IsOpen());
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(SerialPortTest, OpeningNeverBlocksOnAPortWhoseOtherSideIsClosed) {
    Pty pty(devices.path(), "ttyS0");
    pty.closeMaster();
    TComm comm(api, mainThreadHandOver());
    comm.SetDeviceName("COM1");
    const auto start = Clock::now();
    openError(comm);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    comm.Close();
}

TEST_F(SerialPortTest, AThousandCyclesWithDataArrivingWhileClosing) {
    Pty pty(devices.path(), "ttyS0");
    std::atomic<bool> sending{true};
    std::thread sender([&] {
        while (sending) {
            pty.send("z");
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const int before = openDescriptors();
    TComm comm(api, mainThreadHandOver());
    comm.SetDeviceName("COM1");
    int events = 0;
    comm.OnRxChar = [&](TCustomComm*, int) { ++events; };
    int cyclesWithData = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        comm.Open();
        const int seen = events;
        if (waitUntil([&] { return events > seen; }, 2000))
            ++cyclesWithData;
        comm.Close();
    }
    sending = false;
    sender.join();
    EXPECT_EQ(cyclesWithData, 1000);
    // The watchers have let go of everything once they are done.
    EXPECT_TRUE(waitUntil([&] { return openDescriptors() == before; }, 2000))
        << openDescriptors() << " descriptors, " << before << " before";
}

TEST_F(SerialPortTest, DiscoveryListsDevicesInNumericOrder) {
    Pty com10(devices.path(), "ttyS9");
    Pty com1(devices.path(), "ttyS0");
    Pty com33(devices.path(), "ttyUSB0");
    Pty com160(devices.path(), "rfcomm31");
    Pty com2(devices.path(), "ttyS1");
    writeFile(devices / "ttyS2", "an ordinary file");
    std::filesystem::create_symlink(devices / "nowhere", devices / "ttyS3");
    const int before = openDescriptors();
    EXPECT_EQ(discoverComPorts(*api), (std::vector<std::string>{"1", "2", "10", "33", "160"}));
    EXPECT_EQ(openDescriptors(), before);

    TComm held(api, mainThreadHandOver());
    held.SetDeviceName("COM10");
    held.Open();
    EXPECT_EQ(discoverComPorts(*api), (std::vector<std::string>{"1", "2", "10", "33", "160"}));
    EXPECT_EQ(discoverComPorts(*api, 9), (std::vector<std::string>{"1", "2"}));
}

}  // namespace

int main(int argc, char** argv) {
    // Deliveries reach the handlers through the event loop of this application.
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
