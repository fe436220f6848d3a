#pragma once

#include <string>

#include "platform/SerialAdapter.h"

// An adapter as one line tells it: "FTDI FT232R USB UART (0403:6001, serial
// A50285BI)", the serial replaced by the place on the bus when it has none.
std::string adapterSummary(const platform::SerialAdapter& adapter);
