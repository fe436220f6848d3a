// tarvel-cli-fakeports: tarvel-cli on the tests' serial layer, so that a
// bench of fixtures runs as a whole process on a machine without adapters.
// COM1 to COM16 always open and take DTR; each is a USB adapter with a
// serial number (FAKE0001 …) and a place on the bus (1-1.1 …), laid out as
// sysfs and /dev show them in a folder of its own. Built with the tests,
// never installed.
#include <filesystem>
#include <iostream>

#include "cli/CommandLine.h"
#include "platform/Console.h"
#include "support/FakeSerialApi.h"
#include "support/TempFolder.h"

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

int main(int argc, char** argv) {
    platform::prepareConsoleOutput();
    const TempFolder adapters;
    layOutAdapters(adapters);
    auto serial = std::make_shared<FakeSerialApi>();
    serial->devices.clear();
    for (int number = 1; number <= kFakePorts; ++number)
        serial->devices.insert("COM" + std::to_string(number));
    CliEnvironment environment = systemEnvironment(serial);
    environment.systemRoot = adapters / "sys";
    environment.deviceRoot = adapters / "dev";
    return runCommandLine(platform::programArguments(argc, argv), std::cout, std::cerr,
                          environment);
}
