#pragma once

#include <optional>
#include <string>

#include "platform/SerialAdapter.h"

// An adapter as one line tells it: "FTDI FT232R USB UART (0403:6001, serial
// A50285BI)", the serial replaced by the place on the bus when it has none.
std::string adapterSummary(const platform::SerialAdapter& adapter);

// What the port list tells of a "COMn" port: the device it opens, and on a
// second line the adapter behind it, if any.
std::string portTooltip(const std::string& name,
                        const std::optional<platform::SerialAdapter>& adapter);
