#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "support/FakeSerialApi.h"
#include "support/QueuedHandOver.h"
#include "update/CommInt.h"

namespace {

namespace f = platform::dcb;

std::string errorText(const std::function<void()>& action, int* code = nullptr) {
    try {
        action();
    } catch (const ECommError& e) {
        if (code)
            *code = e.ErrorCode;
        return e.what();
    }
    return "(no error)";
}

class CommTest : public testing::Test {
  protected:
    std::shared_ptr<FakeSerialApi> api = std::make_shared<FakeSerialApi>();
    std::shared_ptr<QueuedHandOver> handOver = std::make_shared<QueuedHandOver>();
    TComm comm{api, handOver};

    void openOnCom1() {
        comm.SetDeviceName("COM1");
        comm.Open();
        api->clearCalls();
    }
};

TEST_F(CommTest, InitialValues) {
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(comm.DeviceName(), "Com2");
    EXPECT_EQ(comm.ReadTimeout(), 1000);
    EXPECT_EQ(comm.WriteTimeout(), 1000);
    EXPECT_EQ(comm.ReadBufSize(), 4096);
    EXPECT_EQ(comm.WriteBufSize(), 2048);
    EXPECT_EQ(comm.MonitorEvents(), allCommEvents());
    EXPECT_EQ(eventMask(comm.MonitorEvents()), 0x01FFu);
    EXPECT_EQ(comm.BaudRate(), br9600);
    EXPECT_EQ(comm.Parity(), paNone);
    EXPECT_EQ(comm.Stopbits(), sb10);
    EXPECT_EQ(comm.Databits(), da8);
    EXPECT_TRUE(comm.Options().empty());
    EXPECT_EQ(comm.FlowControl(), fcDefault);
    EXPECT_EQ(comm.EventChars().XonChar(), 17);
    EXPECT_EQ(comm.EventChars().XoffChar(), 19);
    EXPECT_EQ(comm.EventChars().ErrorChar(), 0);
    EXPECT_EQ(comm.EventChars().EofChar(), 0);
    EXPECT_EQ(comm.EventChars().EvtChar(), 0);
}

TEST_F(CommTest, OpenConfiguresThePortInOrder) {
    comm.SetDeviceName("COM3");
    comm.Open();
    EXPECT_TRUE(comm.IsOpen());
    const std::vector<std::string> expected = {"createFile COM3",    "setCommMask",  "createEvent",
                                               "setCommTimeouts",    "getCommState", "setCommState",
                                               "setupComm 4096 2048"};
    EXPECT_EQ(api->calls(), expected);
    EXPECT_EQ(api->lastMask(), 0x01FFu);
    EXPECT_EQ(api->lastTimeouts(), (platform::CommTimeouts{0xFFFFFFFFu, 0, 0, 0, 0}));
    const platform::Dcb written = api->writtenStates().back();
    EXPECT_EQ(written.BaudRate, 9600u);
    EXPECT_EQ(written.ByteSize, 8);
    EXPECT_EQ(written.Parity, 0);
    EXPECT_EQ(written.StopBits, 0);
    EXPECT_EQ(written.Flags, api->portState.Flags);  // the port's own flow control stays
    EXPECT_EQ(written.XonLim, 1024);
    EXPECT_EQ(written.XoffLim, 1024);
    EXPECT_EQ(written.XonChar, 17);
    EXPECT_EQ(written.XoffChar, 19);
}

TEST_F(CommTest, NoWakeUpEventMeansNoOpenPortAndACloseThatReturns) {
    api->failCall("createEvent", 4);  // no descriptors left
    comm.SetDeviceName("COM3");
    int code = 0;
    EXPECT_EQ(errorText([&] { comm.Open(); }, &code),
              "Error creating the port watcher (Error: 4) ");
    EXPECT_EQ(code, 4);
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(api->openHandles(), 0);
    comm.Close();

    api->succeedCall("createEvent");
    comm.Open();
    comm.Close();
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(CommTest, OnlyWhileClosedSetters) {
    struct Case {
        const char* name;
        std::function<void()> setSame;
        std::function<void()> setOther;
        std::function<bool()> unchanged;
    };
    const Case cases[] = {
        {"DeviceName", [&] { comm.SetDeviceName("COM1"); }, [&] { comm.SetDeviceName("COM2"); },
         [&] { return comm.DeviceName() == "COM1"; }},
        {"ReadBufSize", [&] { comm.SetReadBufSize(4096); }, [&] { comm.SetReadBufSize(8192); },
         [&] { return comm.ReadBufSize() == 4096; }},
        {"WriteBufSize", [&] { comm.SetWriteBufSize(2048); }, [&] { comm.SetWriteBufSize(1); },
         [&] { return comm.WriteBufSize() == 2048; }},
        {"MonitorEvents", [&] { comm.SetMonitorEvents(allCommEvents()); },
         [&] { comm.SetMonitorEvents({evRxChar}); },
         [&] { return comm.MonitorEvents() == allCommEvents(); }},
    };
    openOnCom1();
    for (const Case& c : cases) {
        int code = 0;
        EXPECT_EQ(errorText(c.setSame), "(no error)") << c.name;
        EXPECT_EQ(errorText(c.setOther, &code), "Port already assigned (open) (Error: -1) ")
            << c.name;
        EXPECT_EQ(code, -1);
        EXPECT_TRUE(c.unchanged()) << c.name;
    }
    EXPECT_TRUE(api->calls().empty());
    comm.Close();
    for (const Case& c : cases) {
        c.setOther();
        EXPECT_FALSE(c.unchanged()) << c.name << " is stored while closed";
    }
}

TEST(CommSetters, AppliedAtOnceWhileOpenOnlyStoredWhileClosed) {
    struct Case {
        const char* name;
        std::function<void(TComm&)> setSame;
        std::function<void(TComm&)> setOther;
        std::function<bool(const platform::Dcb&)> applied;
    };
    const Case cases[] = {
        {"BaudRate", [](TComm& c) { c.SetBaudRate(br9600); },
         [](TComm& c) { c.SetBaudRate(br115200); },
         [](const platform::Dcb& d) { return d.BaudRate == 115200; }},
        {"Parity", [](TComm& c) { c.SetParity(paNone); }, [](TComm& c) { c.SetParity(paMark); },
         [](const platform::Dcb& d) { return d.Parity == 3; }},
        {"Stopbits", [](TComm& c) { c.SetStopbits(sb10); }, [](TComm& c) { c.SetStopbits(sb20); },
         [](const platform::Dcb& d) { return d.StopBits == 2; }},
        {"Databits", [](TComm& c) { c.SetDatabits(da8); }, [](TComm& c) { c.SetDatabits(da5); },
         [](const platform::Dcb& d) { return d.ByteSize == 5; }},
        {"Options", [](TComm& c) { c.SetOptions({}); },
         [](TComm& c) { c.SetOptions({coNullStrip}); },
         [](const platform::Dcb& d) { return (d.Flags & f::kNull) != 0; }},
        {"FlowControl", [](TComm& c) { c.SetFlowControl(fcDefault); },
         [](TComm& c) { c.SetFlowControl(fcNone); },
         [](const platform::Dcb& d) { return d.Flags == f::kBinary; }},
    };
    for (const Case& c : cases) {
        auto api = std::make_shared<FakeSerialApi>();
        TComm closed(api);
        c.setOther(closed);
        EXPECT_TRUE(api->calls().empty()) << c.name << ": only stored while closed";
        closed.Open();
        EXPECT_TRUE(c.applied(api->writtenStates().back())) << c.name << ": applied by Open";
        closed.Close();

        TComm open(api);
        open.Open();
        api->clearCalls();
        c.setSame(open);
        EXPECT_TRUE(api->writtenStates().empty()) << c.name << ": same value";
        c.setOther(open);
        ASSERT_EQ(api->writtenStates().size(), 1u) << c.name;
        EXPECT_TRUE(c.applied(api->writtenStates().back())) << c.name;
    }
}

TEST_F(CommTest, EverySpecialCharacterSetIsWrittenEvenWhenUnchanged) {
    comm.EventChars().SetXonChar(1);
    EXPECT_TRUE(api->calls().empty());
    openOnCom1();
    comm.EventChars().SetXonChar(1);
    comm.EventChars().SetEvtChar('\n');
    const auto states = api->writtenStates();
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0].XonChar, 1);
    EXPECT_EQ(states[1].EvtChar, '\n');
}

TEST_F(CommTest, ChangedValuesWhileOpenAreWrittenAtOnce) {
    openOnCom1();
    comm.SetBaudRate(br115200);
    comm.SetParity(paEven);
    comm.SetStopbits(sb15);
    comm.SetDatabits(da7);
    comm.EventChars().SetErrorChar('?');
    const auto states = api->writtenStates();
    ASSERT_EQ(states.size(), 5u);
    EXPECT_EQ(states.back().BaudRate, 115200u);
    EXPECT_EQ(states.back().Parity, 2);
    EXPECT_EQ(states.back().StopBits, 1);
    EXPECT_EQ(states.back().ByteSize, 7);
    EXPECT_EQ(states.back().ErrorChar, '?');

    api->clearCalls();
    TCommEventChars other(nullptr);
    other.SetXonChar(1);
    comm.EventChars().Assign(other);
    EXPECT_TRUE(api->writtenStates().empty());
    EXPECT_EQ(comm.EventChars().XonChar(), 1);
    EXPECT_EQ(comm.EventChars().ErrorChar(), 0);
}

TEST_F(CommTest, FlowControlAndOptionsInTheWrittenBlock) {
    struct Case {
        TFlowControl flow;
        TCommOptions options;
        std::uint32_t portFlags;
        std::uint32_t written;
    };
    const std::uint32_t port = 0x3031;  // DTR/RTS control modes and binary
    const Case cases[] = {
        {fcNone, {}, port, f::kBinary},
        {fcNone, {coParityCheck, coNullStrip}, port, f::kBinary | f::kParity | f::kNull},
        {fcDefault, {}, port, port},
        {fcDefault, {}, port | f::kParity | f::kErrorChar, port},
        {fcCTS, {}, port, port | f::kOutxCtsFlow | f::kRtsControlHandshake},
        {fcDTR, {}, port, port | f::kOutxDsrFlow | f::kDtrControlHandshake},
        {fcSoftware, {coIgnoreXOff}, port, port | f::kOutX | f::kInX | f::kTxContinueOnXoff},
        {fcDefault,
         {coDsrSensitivity, coErrorChar},
         port,
         port | f::kDsrSensitivity | f::kErrorChar},
    };
    for (const Case& c : cases) {
        auto fake = std::make_shared<FakeSerialApi>();
        fake->portState.Flags = c.portFlags;
        TComm one(fake);
        one.SetFlowControl(c.flow);
        one.SetOptions(c.options);
        one.SetDeviceName("COM1");
        one.Open();
        EXPECT_EQ(fake->writtenStates().back().Flags, c.written) << "flow " << int(c.flow);
    }
}

TEST_F(CommTest, XonXoffLimitsAreAQuarterOfTheReadBuffer) {
    comm.SetReadBufSize(1000);
    openOnCom1();
    comm.SetBaudRate(br300);
    EXPECT_EQ(api->writtenStates().back().XonLim, 250);
    EXPECT_EQ(api->writtenStates().back().XoffLim, 250);
}

TEST_F(CommTest, FailuresCarryTheirTextCodeAndState) {
    struct Case {
        const char* call;
        int error;
        std::function<void()> action;
        std::string text;
        int code;
        bool openAfter;
    };
    const Case cases[] = {
        {"createFile", 2, [&] { comm.Open(); }, "Error accessing specified device (Error: 2) ", 2,
         false},
        {"setCommTimeouts", 31, [&] { comm.Open(); }, "Error updating CommTimeouts (Error: 31) ",
         31, true},
        {"setCommState", 87, [&] { comm.Open(); }, "Error updating DataControlBlock (Error: 87) ",
         87, true},
        {"setupComm", 5, [&] { comm.Open(); }, "Error initializing Read/Write Buffers (Error: 5) ",
         5, true},
        {"escapeCommFunction", 1,
         [&] {
             comm.Open();
             comm.SetDtr(true);
         },
         "EscapeCommFunction failure (Error: 1) ", 1, true},
    };
    for (const Case& c : cases) {
        api->failCall(c.call, c.error);
        comm.SetDeviceName("COM1");
        int code = 0;
        EXPECT_EQ(errorText(c.action, &code), c.text) << c.call;
        EXPECT_EQ(code, c.code) << c.call;
        EXPECT_EQ(comm.IsOpen(), c.openAfter) << c.call;
        api->succeedCall(c.call);
        comm.Close();
        EXPECT_EQ(api->openHandles(), 0) << c.call;
    }

    int code = 0;
    comm.SetDeviceName("plain-file");
    EXPECT_EQ(errorText([&] { comm.Open(); }, &code),
              "Invalid device handle, access denied (Error: -1) ");
    EXPECT_EQ(code, -1);
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(api->openHandles(), 0);

    EXPECT_EQ(errorText([&] { comm.SetDtr(true); }, &code),
              "Port not open, unable to complete operation (Error: -1) ");
    comm.SetDeviceName("COM2");
    comm.Open();
    EXPECT_EQ(errorText([&] { comm.Open(); }, &code), "Port already assigned (open) (Error: -1) ");
    EXPECT_TRUE(comm.IsOpen());
}

TEST_F(CommTest, DtrAndClose) {
    openOnCom1();
    comm.SetDtr(true);
    comm.SetDtr(false);
    comm.Close();
    comm.Close();
    const auto calls = api->calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0], "escapeCommFunction 5");
    EXPECT_EQ(calls[1], "escapeCommFunction 6");
    // The watcher purges through its copy of the handle before it is released.
    EXPECT_EQ(calls[2], "purgeComm 15");
    EXPECT_EQ(calls[3], "closeHandle");
    EXPECT_EQ(calls.size(), 4u);
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(CommTest, EventsReachTheMainThreadInOrderAndNothingAfterClose) {
    std::vector<std::string> seen;
    const std::thread::id testThread = std::this_thread::get_id();
    const auto record = [&](const char* name) {
        return [&, name](TCustomComm*) {
            EXPECT_EQ(std::this_thread::get_id(), testThread);
            seen.push_back(name);
        };
    };
    comm.OnBreak = record("break");
    comm.OnCts = record("cts");
    comm.OnTxEmpty = record("txempty");
    comm.OnError = [&](TCustomComm*, int errors) {
        seen.push_back("error " + std::to_string(errors));
    };
    comm.OnRxChar = [&](TCustomComm*, int) { seen.push_back("rx"); };  // queue is empty: not called
    openOnCom1();
    api->raiseEvents(platform::kEvTxEmpty | platform::kEvBreak | platform::kEvErr |
                     platform::kEvRxChar | platform::kEvCts);
    ASSERT_TRUE(handOver->waitUntil([&] { return seen.size() == 4; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"break", "cts", "error 0", "txempty"}));
    EXPECT_EQ(api->calls().front(), "clearCommError");

    seen.clear();
    api->raiseEvents(platform::kEvBreak);
    comm.Close();  // the event may be waiting for the main thread: it is dropped
    handOver->waitUntil([] { return false; }, 100);
    EXPECT_TRUE(seen.empty());
}

TEST_F(CommTest, CloseThenOpenAtOnce) {
    for (int i = 0; i < 50; ++i) {
        comm.SetDeviceName("COM1");
        comm.Open();
        comm.Close();
    }
    comm.Open();
    EXPECT_TRUE(comm.IsOpen());
    comm.Close();
    EXPECT_EQ(api->openHandles(), 0);
    const auto calls = api->calls();
    EXPECT_EQ(
        std::count_if(calls.begin(), calls.end(),
                      [](const std::string& c) { return c.find("released") != std::string::npos; }),
        0);
}

}  // namespace

namespace {

// A port whose device goes away: its waits fail at once, every time.
TEST_F(CommTest, APortThatIsGoneRaisesOneErrorAndIsNoLongerWaitedOn) {
    std::vector<int> errors;
    comm.OnError = [&](TCustomComm*, int flags) { errors.push_back(flags); };
    api->failCall("waitCommEvent", 22);  // ERROR_BAD_COMMAND, as Windows says of a removed device
    openOnCom1();
    ASSERT_TRUE(handOver->waitUntil([&] { return !errors.empty(); }));
    const int waits = api->waits();
    handOver->waitUntil([] { return false; }, 300);
    EXPECT_EQ(errors, std::vector<int>{0});
    EXPECT_EQ(api->waits(), waits);
    EXPECT_LE(waits, 5);
    comm.Close();
    EXPECT_EQ(api->openHandles(), 0);
}

}  // namespace
