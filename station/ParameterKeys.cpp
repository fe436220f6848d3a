#include "station/ParameterKeys.h"

#include <algorithm>
#include <cctype>

#include "common/IntegerText.h"
#include "common/ShortQuote.h"

namespace {

const std::vector<std::string> kLineItems = {"RS232", "RS485"};
const std::vector<std::string> kFields = {"line", "baud", "parity", "data", "stop", "timeout"};

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The position of value in items, compared without case.
std::optional<int> positionOf(const std::vector<std::string>& items, const std::string& value) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (upper(items[i]) == upper(value))
            return static_cast<int>(i);
    }
    return std::nullopt;
}

Json itemOrNull(const std::vector<std::string>& items, int position, bool asNumber) {
    const auto item = itemAt(items, position);
    if (!item)
        return nullptr;
    return asNumber ? Json(std::stoi(*item)) : Json(*item);
}

Json sideToJson(const SideParameters& side) {
    const auto timeout = tryParseInteger(side.timeout);
    return Json{{"line", side.rs232 ? "RS232" : "RS485"},
                {"baud", itemOrNull(kBaudRateItems, side.baudRate, true)},
                {"parity", itemOrNull(kParityItems, side.parity, false)},
                {"data", itemOrNull(kDataBitsItems, side.dataBits, true)},
                {"stop", itemOrNull(kStopBitsItems, side.stopBits, true)},
                {"timeout", timeout ? Json(*timeout) : Json(nullptr)}};
}

// "a, b or c".
std::string listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
    return text;
}

}  // namespace

std::optional<std::string> itemAt(const std::vector<std::string>& items, int position) {
    if (position < 0 || position >= static_cast<int>(items.size()))
        return std::nullopt;
    return items[static_cast<std::size_t>(position)];
}

const std::vector<std::string>& parameterKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> all = {"mode"};
        for (const char* side : {"rtu", "ascii"}) {
            for (const std::string& field : kFields) all.push_back(side + ("." + field));
        }
        return all;
    }();
    return keys;
}

bool isParameterKey(const std::string& key) {
    const auto& keys = parameterKeys();
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

std::optional<std::string> applyParameter(GeneralParameters& parameters, const std::string& key,
                                          const std::string& value) {
    const auto choose = [&](const std::vector<std::string>& items, const std::string& what,
                            int& target) -> std::optional<std::string> {
        const auto position = positionOf(items, value);
        if (!position) {
            // Appended piece by piece: GCC 12 takes "'" + a temporary for an
            // overlapping copy (-Wrestrict) in the 32-bit build.
            std::string refusal(1, '\'');
            refusal += shortQuote(value) + "' is not " + what + " for " + key;
            return refusal;
        }
        target = *position;
        return std::nullopt;
    };
    if (key == "mode")
        return choose({"0", "1"}, "a mode (0 or 1)", parameters.mode);
    const Side sideId = key.rfind("rtu.", 0) == 0 ? Side::Rtu : Side::Ascii;
    SideParameters& side = sideId == Side::Rtu ? parameters.rtu : parameters.ascii;
    const std::string field = key.substr(key.find('.') + 1);
    if (field == "line") {
        int line = 0;
        if (auto problem = choose(kLineItems, "a line (RS232 or RS485)", line))
            return problem;
        side.rs232 = line == 0;
        return side.rs232 ? rs232Problem(parameters, sideId) : std::nullopt;
    }
    if (field == "baud")
        return choose(kBaudRateItems, "a baud rate (" + listed(kBaudRateItems) + ")",
                      side.baudRate);
    if (field == "parity")
        return choose(kParityItems, "a parity (NONE, ODD or EVEN)", side.parity);
    if (field == "data")
        return choose(kDataBitsItems, "a number of data bits (5 to 8)", side.dataBits);
    if (field == "stop")
        return choose(kStopBitsItems, "a number of stop bits (1 or 2)", side.stopBits);
    // Checked as if this side were master: the mode may change later, and the
    // image must never hold a value the dialog refuses.
    side.timeout = value;
    return sideTimeoutProblem(parameters, sideId);
}

std::vector<std::string> unsentFraming(const GeneralParameters& parameters,
                                       const std::vector<std::string>& givenKeys) {
    const SideParameters rs232Frame;  // 8 data bits, 1 stop bit
    std::vector<std::string> warnings;
    for (const std::string& key : givenKeys) {
        const bool rtu = key.rfind("rtu.", 0) == 0;
        const SideParameters& side = rtu ? parameters.rtu : parameters.ascii;
        const std::string field = key.substr(key.find('.') + 1);
        std::optional<std::string> value;
        if (field == "data" && side.dataBits != rs232Frame.dataBits)
            value = itemAt(kDataBitsItems, side.dataBits);
        else if (field == "stop" && side.stopBits != rs232Frame.stopBits)
            value = itemAt(kStopBitsItems, side.stopBits);
        else
            continue;
        if (side.rs232)
            warnings.push_back(key + " " + value.value_or("?") +
                               " is not written to the device: over RS232 it takes 8 data bits "
                               "and 1 stop bit");
    }
    return warnings;
}

Json parametersToJson(const GeneralParameters& parameters) {
    const auto modeText = itemAt(kModeItems, parameters.mode);
    return Json{{"mode", parameters.mode},
                {"modeText", modeText ? Json(*modeText) : Json(nullptr)},
                {"rtu", sideToJson(parameters.rtu)},
                {"ascii", sideToJson(parameters.ascii)}};
}

std::optional<std::string> keyValuesFromJson(
    const Json& object, std::vector<std::pair<std::string, std::string>>& out) {
    if (!object.is_object())
        return "not a JSON object";
    const auto text = [](const Json& value) {
        return value.is_string() ? value.get<std::string>() : value.dump();
    };
    for (const auto& [name, value] : object.items()) {
        if (name == "version" || name == "name" || name == "modeText")
            continue;
        if (name == "mode") {
            out.emplace_back(name, text(value));
            continue;
        }
        if ((name != "rtu" && name != "ascii") || !value.is_object())
            return "unknown key " + shortQuote(name);
        for (const auto& [field, fieldValue] : value.items()) {
            const std::string key = name + "." + field;
            if (!isParameterKey(key))
                return "unknown key " + shortQuote(key);
            if (fieldValue.is_null())
                return key + " has no value";
            out.emplace_back(key, text(fieldValue));
        }
    }
    return std::nullopt;
}
