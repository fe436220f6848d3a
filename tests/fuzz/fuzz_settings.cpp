// The settings file: any content, then one write of a key. The value reads
// back, and every line of the old file stays, in order, but for the one line
// the write replaced and a line end added to the last line.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "platform/ProfileStrings.h"

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        result.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return result;
}

bool plain(const std::string& text, const char* forbidden) {
    return !text.empty() && text.find_first_of(forbidden) == std::string::npos &&
           text.front() != ' ' && text.back() != ' ' && text.front() != '\t' && text.back() != '\t';
}

// Old lines that are not found, in order, among the new ones: those outside
// the longest sequence the two have in common.
std::size_t linesLost(const std::vector<std::string>& before,
                      const std::vector<std::string>& after) {
    std::vector<std::size_t> row(after.size() + 1, 0);
    for (const std::string& line : before) {
        std::size_t diagonal = 0;
        for (std::size_t j = 1; j <= after.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = line == after[j - 1] ? diagonal + 1 : std::max(row[j], row[j - 1]);
            diagonal = above;
        }
    }
    return before.size() - row[after.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto parts = splitAtZero(data, size);
    parts.resize(4);
    const std::string& content = parts[0];
    const std::string& section = parts[1];
    const std::string& key = parts[2];
    const std::string& value = parts[3];
    const std::string file = fuzzFolder() + "/Tarvel.ini";
    writeBytes(file, content);
    (void)platform::readProfileString(file, section, key, "fallback");

    // Names and values that the file format can carry.
    if (!plain(section, "[]\r\n") || !plain(key, "=[\r\n") ||
        value.find_first_of("\r\n") != std::string::npos ||
        (!value.empty() && (value.front() == ' ' || value.back() == ' ' || value.front() == '\t' ||
                            value.back() == '\t')))
        return 0;
    if (!platform::writeProfileString(file, section, key, value))
        finding("a write failed");
    if (platform::readProfileString(file, section, key, "fallback") != value)
        finding("the value written does not read back");

    std::string after;
    {
        FILE* in = std::fopen(file.c_str(), "rb");
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) after.append(buffer, got);
        std::fclose(in);
    }
    if (linesLost(lines(content), lines(after)) > 2)
        finding("the write lost lines of the file");
    return 0;
}
