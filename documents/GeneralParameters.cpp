#include "documents/GeneralParameters.h"

#include <optional>

#include "common/AppError.h"
#include "common/IntegerText.h"
#include "documents/XmlDocument.h"

const std::vector<std::string> kModeItems = {"Modbus RTU Slave <--> Modbus ASCII Master",
                                             "Modbus ASCII Slave <--> Modbus RTU Master"};
const std::vector<std::string> kBaudRateItems = {"1200",  "2400",  "4800",  "9600",
                                                 "19200", "38400", "57600", "115200"};
const std::vector<std::string> kParityItems = {"NONE", "ODD", "EVEN"};
const std::vector<std::string> kDataBitsItems = {"5", "6", "7", "8"};
const std::vector<std::string> kStopBitsItems = {"1", "2"};

namespace {

// The element's text, or nothing when the root or element is missing or the
// text cannot be read.
std::optional<std::string> elementText(XmlNode root, const char* name) {
    if (root.isNone())
        return std::nullopt;
    try {
        return root.childNodes().findNode(name).text();
    } catch (const AppError&) {
        return std::nullopt;
    }
}

void readPosition(XmlNode root, const char* name, int& value) {
    if (const auto text = elementText(root, name))
        value = parseIntegerOr(*text, value);
}

void readInterface(XmlNode root, const char* name, bool& rs232) {
    if (const auto text = elementText(root, name))
        rs232 = *text == "0";
}

void readTimeout(XmlNode root, const char* name, std::string& timeout) {
    if (const auto text = elementText(root, name))
        timeout = *text;
}

void readSide(XmlNode root, const char* suffix, SideParameters& side) {
    const std::string s(suffix);
    readInterface(root, ("SER_" + s).c_str(), side.rs232);
    readPosition(root, ("BAUD_" + s).c_str(), side.baudRate);
    readPosition(root, ("PAR_" + s).c_str(), side.parity);
    readPosition(root, ("DATA_" + s).c_str(), side.dataBits);
    readPosition(root, ("STOP_" + s).c_str(), side.stopBits);
    readTimeout(root, ("TO_" + s).c_str(), side.timeout);
}

void addElement(XmlNode root, const std::string& name, const std::string& text) {
    root.addChild(name).setText(text);
}

void writeSide(XmlNode root, const std::string& suffix, const SideParameters& side) {
    addElement(root, "SER_" + suffix, side.rs232 ? "0" : "1");
    addElement(root, "BAUD_" + suffix, std::to_string(side.baudRate));
    addElement(root, "PAR_" + suffix, std::to_string(side.parity));
    addElement(root, "DATA_" + suffix, std::to_string(side.dataBits));
    addElement(root, "STOP_" + suffix, std::to_string(side.stopBits));
    addElement(root, "TO_" + suffix, side.timeout);
}

}  // namespace

Side masterSide(int mode) {
    return mode == 1 ? Side::Rtu : Side::Ascii;
}

std::optional<std::string> sideTimeoutProblem(const GeneralParameters& parameters, Side side) {
    constexpr int kTimeoutLimit = 60000;
    const bool rtu = side == Side::Rtu;
    const auto value = tryParseInteger(rtu ? parameters.rtu.timeout : parameters.ascii.timeout);
    if (value && *value >= 0 && *value <= kTimeoutLimit)
        return std::nullopt;
    return rtu ? "Error!! TimeOut RTU must be between 0 and 60000 ms. "
               : "Error!! TimeOut ASCII must be between 0 and 60000 ms. ";
}

std::optional<std::string> timeoutProblem(const GeneralParameters& parameters) {
    return sideTimeoutProblem(parameters, masterSide(parameters.mode));
}

std::optional<std::string> rs232Problem(const GeneralParameters& parameters, Side assigned) {
    if (!parameters.rtu.rs232 || !parameters.ascii.rs232)
        return std::nullopt;
    return assigned == Side::Rtu ? "Error! The RS232 is already assigned to the ASCII side"
                                 : "Error! The RS232 is already assigned to the RTU side";
}

GeneralParameters readGeneralParameters(XmlDocument& document) {
    GeneralParameters parameters;
    const XmlNode root = document.childNodes().findNode(kGeneralParameterRoot);
    readPosition(root, "MODE_DEV", parameters.mode);
    readSide(root, "RTU", parameters.rtu);
    readSide(root, "ASCII", parameters.ascii);
    return parameters;
}

void fillGeneralParameters(XmlDocument& document, const GeneralParameters& parameters) {
    document.activate();
    document.childNodes().clear();
    XmlNode root = document.addChild(kGeneralParameterRoot);
    addElement(root, "MODE_DEV", std::to_string(parameters.mode));
    writeSide(root, "RTU", parameters.rtu);
    writeSide(root, "ASCII", parameters.ascii);
}

void writeGeneralParameters(XmlDocument& document, const GeneralParameters& parameters,
                            const std::string& path) {
    fillGeneralParameters(document, parameters);
    document.saveToFile(path);
}
