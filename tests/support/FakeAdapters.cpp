#include "support/FakeAdapters.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

constexpr int kFakePorts = 16;

void layOutAdapters(const TempFolder& root) {
    for (int number = 1; number <= kFakePorts; ++number) {
        const std::string tty = "ttyS" + std::to_string(number - 1);
        const std::string place = "1-1." + std::to_string(number);
        const std::string usb = root / ("sys/devices/usb1/" + place);
        fs::create_directories(usb + "/" + place + ":1.0");
        fs::create_directories(root / ("sys/class/tty/" + tty));
        fs::create_symlink(usb + "/" + place + ":1.0", root / ("sys/class/tty/" + tty + "/device"));
        writeFile(usb + "/idVendor", "0403\n");
        writeFile(usb + "/idProduct", "6001\n");
        writeFile(usb + "/product", "Fake adapter\n");
        writeFile(usb + "/serial",
                  "FAKE" + std::string(number < 10 ? "000" : "00") + std::to_string(number) + "\n");
        fs::create_directories(root / "dev");
        writeFile(root / ("dev/" + tty), "");
    }
}

}  // namespace

FakeAdapters::FakeAdapters() : serial(std::make_shared<FakeSerialApi>()) {
    layOutAdapters(root);
    serial->devices.clear();
    // A port is opened by its name, and probed by its device name.
    for (int number = 1; number <= kFakePorts; ++number) {
        serial->devices.insert("COM" + std::to_string(number));
        serial->devices.insert("\\\\.\\COM" + std::to_string(number));
    }
}
