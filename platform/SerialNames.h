#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The highest port number a "COMn" name has.
inline constexpr int kHighestComPort = 256;

// The port number of a name "COMn" (any case, optionally with the "\\.\"
// prefix), n from 1 to 256; nothing for any other name.
std::optional<int> comPortNumber(std::string_view name);

// The device path of port n: "\\.\COMn" on Windows; on Linux the fixed device
// below deviceFolder (ttyS, ttyUSB, ttyACM, ttyAMA, rfcomm, 32 each), or empty
// for the numbers that have no device.
std::string portDevicePath(int number, const std::string& deviceFolder = "/dev");

// What a device name opens: a COM name its port's device path, any other name
// unchanged.
std::string devicePathForName(const std::string& name, const std::string& deviceFolder = "/dev");

// The port as the updater's parameter string names it: "\\.\" and the
// drop-down text on Windows, the port's device path on Linux.
std::string updaterPortPath(const std::string& portText);

// How a port that cannot be opened although it is present is described:
// "no access" when this user lacks the permission to open its device (which
// POSIX tells), "held" when another program has it; where the platform
// cannot tell the two apart, "held or no access".
std::string unopenablePortState(const std::string& name, const std::string& deviceFolder = "/dev");

// The serial number in a Windows device instance id: a USB device's
// "USB\VID_0403&PID_6001\A12B" ends with it, and an FTDI port's
// "FTDIBUS\VID_0403+PID_6001+A12BA\0000" has it after the second '+'
// (with the channel's letter). Nothing for a last part with '&', which
// Windows made up for a device without a serial number, or another bus.
std::optional<std::string> serialFromInstanceId(std::string_view instanceId);

}  // namespace platform
