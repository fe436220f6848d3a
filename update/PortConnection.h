#pragma once

#include <memory>
#include <string>

#include "platform/SerialApi.h"

class TComm;
class ECommError;

// What Connect shows when the port cannot be opened.
inline constexpr const char* kPortCannotBeOpened = "Error!! Com Port cannot be open.";

// What a user without the right to open serial devices does about it.
inline constexpr const char* kNoAccessHint =
    "add your account to the dialout group (sudo usermod -aG dialout $USER) and log in again";

// Connect's test of a port, shared by the wizard and the command line: opens
// port on comm and raises DTR. Raises ECommError when either fails; a port
// that opened stays open until its next close, as Connect leaves it.
void connectPort(TComm& comm, const std::string& port);

// The same test of a port that another program opens next: the port is
// opened, DTR raised, and the port closed again. Raises ECommError.
void testPort(const std::shared_ptr<platform::SerialApi>& serial, const std::string& port);

// Why port (opened as device) failed the test, in words and with the device
// path: "/dev/ttyS2: no such device", "/dev/ttyS0: no access; add your
// account …", "/dev/ttyS0: held by another program", "/dev/ttyS0: not a
// working serial port …"; any other failure keeps the system's text.
std::string portErrorInWords(const std::string& port, const std::string& device,
                             const ECommError& error);
