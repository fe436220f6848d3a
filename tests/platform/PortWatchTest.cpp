#include "platform/PortWatch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TempFolder.h"

namespace {

#ifdef _WIN32
// The ports of SERIALCOMM, as a driver adds and removes them (Wine lets any
// user write HKLM).
TEST(PortWatchTest, SeesAPortValueComeAndGo) {
    platform::PortWatch watch("");
    const char* key = "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
    ASSERT_EQ(std::system((std::string("reg add ") + key +
                           " /v \\Device\\TarvelTest0 /t REG_SZ /d COM77 /f >NUL")
                              .c_str()),
              0);
    watch.waitForChange(100);
    EXPECT_EQ(watch.ports().count("COM77"), 1u);
    EXPECT_EQ(watch.ports().at("COM77"), "COM77");
    std::system((std::string("reg delete ") + key + " /v \\Device\\TarvelTest0 /f >NUL").c_str());
    watch.waitForChange(100);
    EXPECT_EQ(watch.ports().count("COM77"), 0u);
}
#else
namespace fs = std::filesystem;

// Entries that are character devices or links to one count, each by its
// name; hidden names, plain files and dangling links do not.
TEST(PortWatchTest, SeesPortsComeAndGoInItsFolder) {
    TempFolder folder;
    const std::string ports = folder / "by-id";
    platform::PortWatch watch(ports);  // before the folder exists, as by-id does
    EXPECT_TRUE(watch.ports().empty());
    watch.waitForChange(10);
    fs::create_directory(ports);
    fs::create_symlink("/dev/null", ports + "/usb-A-port0");
    fs::create_symlink("/dev/null", ports + "/usb-B-port0");  // the same device, another port
    fs::create_symlink("/dev/null", ports + "/.tmp-usb-C");
    fs::create_symlink(ports + "/nowhere", ports + "/usb-gone");
    writeFile(ports + "/notes.txt", "");
    const auto seen = watch.ports();
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.at("usb-A-port0"), ports + "/usb-A-port0");
    EXPECT_EQ(seen.count("usb-B-port0"), 1u);
    watch.waitForChange(600);  // now watched: the changes above are taken
    fs::remove(ports + "/usb-A-port0");
    // Nothing but the removal can end a wait this long early.
    EXPECT_TRUE(watch.waitForChange(600000));
    EXPECT_EQ(watch.ports().count("usb-A-port0"), 0u);
}
#endif

}  // namespace
