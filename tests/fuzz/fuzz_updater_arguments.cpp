// The updater's command line: always seven arguments, whatever the names hold,
// and where no piece holds a blank or a double quote, the parameter string
// splits the way a Windows program splits it into exactly those arguments.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "platform/SerialNames.h"
#include "update/UpdaterCommandLine.h"

namespace {

// A Windows program's splitting of its command line, for pieces without quotes.
std::vector<std::string> splitAtBlanks(const std::string& text) {
    std::vector<std::string> pieces;
    std::string current;
    bool quoted = false;
    bool inPiece = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inPiece = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inPiece)
                pieces.push_back(current);
            current.clear();
            inPiece = false;
        } else {
            current += c;
            inPiece = true;
        }
    }
    if (inPiece)
        pieces.push_back(current);
    return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto parts = splitAtZero(data, size);
    parts.resize(4);
    const std::uint8_t flags = parts[3].empty() ? 0 : static_cast<std::uint8_t>(parts[3][0]);
    const UpdateOptions options{(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0,
                                (flags & 8) != 0};
    const auto command = updaterCommandLine(parts[0], options, parts[1], parts[2]);
    const std::vector<std::string>& arguments = command.arguments;

    const std::string port = platform::updaterPortPath(parts[0]);
    const std::vector<std::string> expected = {port,
                                               options.firmware ? "FW" : "NO",
                                               options.readFirmware ? "FR" : "NO",
                                               options.project ? "PW" : "NO",
                                               options.readProject ? "PR" : "NO",
                                               parts[1] + "/MASTER/sim40917.sim",
                                               parts[2] + "/bin/"};
    if (arguments != expected)
        finding("the arguments are not the seven pieces");

    bool splittable = !port.empty();
    for (const std::string& argument : arguments)
        splittable = splittable && argument.find_first_of(" \t\"") == std::string::npos;
    if (splittable && splitAtBlanks(command.parameters) != arguments)
        finding("the parameter string does not hold the same pieces: " + command.parameters);
    return 0;
}
