#pragma once

#include <memory>
#include <string>

#include "platform/SerialApi.h"

class TComm;

// What Connect shows when the port cannot be opened.
inline constexpr const char* kPortCannotBeOpened = "Error!! Com Port cannot be open.";

// Connect's test of a port, shared by the wizard and the command line: opens
// port on comm and raises DTR. Raises ECommError when either fails; a port
// that opened stays open until its next close, as Connect leaves it.
void connectPort(TComm& comm, const std::string& port);

// The same test of a port that another program opens next: the port is
// opened, DTR raised, and the port closed again. Raises ECommError.
void testPort(const std::shared_ptr<platform::SerialApi>& serial, const std::string& port);
