#include "platform/SerialAdapter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempFolder.h"
#include "update/PortDescription.h"

namespace {

namespace fs = std::filesystem;

// A sysfs tree as the kernel lays it out for a USB serial adapter on bus 1,
// port chain 1.2, and a by-id link, below a folder of the test's own.
class SerialAdapterTest : public testing::Test {
  protected:
    TempFolder root;
    std::string sys = root / "sys";
    std::string dev = root / "dev";
    std::string usb = sys + "/devices/pci0000:00/usb1/1-1/1-1.2";

    void SetUp() override {
        fs::create_directories(usb + "/1-1.2:1.0/ttyUSB0");
        fs::create_directories(sys + "/class/tty/ttyUSB0");
        fs::create_symlink(usb + "/1-1.2:1.0", sys + "/class/tty/ttyUSB0/device");
        fs::create_directories(sys + "/class/tty/ttyS0/device");  // a UART on the board
        fs::create_directories(dev + "/serial/by-id");
        writeFile(dev + "/ttyUSB0", "");
        writeFile(dev + "/ttyS0", "");
        fs::create_symlink("../../ttyUSB0", dev + "/serial/by-id/usb-FTDI_FT232R-if00-port0");
        for (const auto& [name, value] : {std::pair{"idVendor", "0403"},
                                          {"idProduct", "6001"},
                                          {"manufacturer", "FTDI"},
                                          {"product", "FT232R USB UART"}})
            writeFile(usb + "/" + name, std::string(value) + "\n");
    }
};

TEST_F(SerialAdapterTest, TellsAUsbAdapterByItsIdsSerialPlaceAndLink) {
    writeFile(usb + "/serial", "A50285BI\n");
    const auto adapter = platform::serialAdapterFor(dev + "/ttyUSB0", sys, dev);
    ASSERT_TRUE(adapter);
    EXPECT_EQ(adapter->vendorId, "0403");
    EXPECT_EQ(adapter->productId, "6001");
    EXPECT_EQ(adapter->serial, "A50285BI");
    EXPECT_EQ(adapter->usbPath, "1-1.2");
    EXPECT_EQ(adapter->byId, dev + "/serial/by-id/usb-FTDI_FT232R-if00-port0");
    EXPECT_EQ(adapterSummary(*adapter), "FTDI FT232R USB UART (0403:6001, serial A50285BI)");
    EXPECT_EQ(portTooltip("COM33", adapter),
              "/dev/ttyUSB0\nFTDI FT232R USB UART (0403:6001, serial A50285BI)");
    EXPECT_EQ(portTooltip("COM1", std::nullopt), "/dev/ttyS0");
    // Reached by its COM name and through a link as well.
    EXPECT_EQ(platform::serialAdapterFor("COM33", sys, dev)->usbPath, "1-1.2");
    EXPECT_EQ(platform::serialAdapterFor(dev + "/serial/by-id/usb-FTDI_FT232R-if00-port0", sys, dev)
                  ->serial,
              "A50285BI");
    // Listed among all adapters too, by its COM name.
    const auto adapters = platform::serialAdapters(sys, dev);
    ASSERT_EQ(adapters.size(), 1u);
    EXPECT_EQ(adapters.at("COM33").serial, "A50285BI");
}

TEST_F(SerialAdapterTest, WithoutASerialThePlaceOnTheBusTellsAdaptersApart) {
    const auto adapter = platform::serialAdapterFor(dev + "/ttyUSB0", sys, dev);
    ASSERT_TRUE(adapter);
    EXPECT_FALSE(adapter->serial);
    EXPECT_EQ(adapterSummary(*adapter), "FTDI FT232R USB UART (0403:6001, at 1-1.2)");
    EXPECT_FALSE(platform::serialAdapterFor(dev + "/ttyS0", sys, dev));
    EXPECT_FALSE(platform::serialAdapterFor(dev + "/ttyUSB9", sys, dev));
}

}  // namespace
