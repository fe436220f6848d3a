#pragma once

#include <optional>
#include <string>
#include <vector>

class XmlDocument;

// The converter's general parameters as pargen.xml keeps them: list choices as
// positions counted from 0 (-1 for no choice), time-outs as the text typed.
struct SideParameters {
    bool rs232 = false;
    int baudRate = 3;  // 9600
    int parity = 0;    // NONE
    int dataBits = 3;  // 8
    int stopBits = 0;  // 1
    std::string timeout = "1000";
    bool operator==(const SideParameters&) const = default;
};

struct GeneralParameters {
    int mode = 0;
    SideParameters rtu;
    SideParameters ascii;
    bool operator==(const GeneralParameters&) const = default;
};

extern const std::vector<std::string> kModeItems;
extern const std::vector<std::string> kBaudRateItems;
extern const std::vector<std::string> kParityItems;
extern const std::vector<std::string> kDataBitsItems;
extern const std::vector<std::string> kStopBitsItems;

inline constexpr const char* kGeneralParameterRoot = "General_Parameter";

enum class Side { Rtu, Ascii };

// The side whose time-out is checked: the RTU side in mode 1 (RTU master),
// the ASCII side otherwise.
Side masterSide(int mode);

// The master side's time-out must be a whole number from 0 to 60000: its
// message ("Error!! TimeOut RTU must be between 0 and 60000 ms. " or the ASCII
// one), or nothing. The other side's time-out is not looked at.
std::optional<std::string> timeoutProblem(const GeneralParameters& parameters);

// The same check of one side's time-out, whichever side is master.
std::optional<std::string> sideTimeoutProblem(const GeneralParameters& parameters, Side side);

// Only one side may use RS232: when side has just been set to RS232 while the
// other side has it, the message ("Error! The RS232 is already assigned to the
// ASCII side" or "… to the RTU side"), or nothing.
std::optional<std::string> rs232Problem(const GeneralParameters& parameters, Side assigned);

// Reads a loaded document the way the dialog does: every element that is
// missing, unreadable or (for mode and lists) not an integer keeps its default.
GeneralParameters readGeneralParameters(XmlDocument& document);

// Rebuilds the document from nothing (root and the thirteen elements, in their
// order) without saving it.
void fillGeneralParameters(XmlDocument& document, const GeneralParameters& parameters);

// Rebuilds the document from nothing (root and the thirteen elements, in their
// order) and saves it over path.
void writeGeneralParameters(XmlDocument& document, const GeneralParameters& parameters,
                            const std::string& path);
