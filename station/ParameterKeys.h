#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/Json.h"
#include "documents/GeneralParameters.h"

// The version of every JSON object the command line prints.
inline constexpr int kJsonVersion = 1;

// set's keys, in the order show prints them: mode, then for rtu and ascii
// line, baud, parity, data, stop and timeout.
const std::vector<std::string>& parameterKeys();
bool isParameterKey(const std::string& key);

// Applies one KEY=VALUE as the dialog's controls would take it: a choice must
// be in its list (in any case), a time-out a whole number from 0 to 60000,
// and a line of RS232 must leave the other side RS485. The refusal, in the
// dialog's words where it has them, or nothing.
std::optional<std::string> applyParameter(GeneralParameters& parameters, const std::string& key,
                                          const std::string& value);

// What the device will not get of the framing keys given (rtu.data,
// rtu.stop, ascii.data, ascii.stop): over RS232 the image fixes the frame at
// 8 data bits and 1 stop bit, as the dialog greys those lists. One warning
// for each such key whose value is not that.
std::vector<std::string> unsentFraming(const GeneralParameters& parameters,
                                       const std::vector<std::string>& givenKeys);

// The parameters as show --json prints them: mode and the list texts, with
// numbers as numbers; a value outside its list, or a time-out that is no
// whole number, as null.
Json parametersToJson(const GeneralParameters& parameters);

// The KEY=VALUE pairs of such an object (version, name and modeText are
// passed over), or the problem with it.
std::optional<std::string> keyValuesFromJson(const Json& object,
                                             std::vector<std::pair<std::string, std::string>>& out);

// The list item at position, or nothing outside the list.
std::optional<std::string> itemAt(const std::vector<std::string>& items, int position);
