#include "platform/ProfileStrings.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "platform/FileSystem.h"

namespace platform {
namespace {

std::string trimBlanks(const std::string& text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Lines keep their own terminators, so that an untouched line is written back
// byte for byte.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t newline = text.find('\n', start);
        const std::size_t end = newline == std::string::npos ? text.size() : newline + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::optional<std::string> sectionName(const std::string& line) {
    const std::string trimmed = trimBlanks(line);
    if (trimmed.size() < 2 || trimmed.front() != '[')
        return std::nullopt;
    const std::size_t close = trimmed.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return trimBlanks(trimmed.substr(1, close - 1));
}

struct KeyLine {
    std::string key;
    std::string value;
};

std::optional<KeyLine> keyLine(const std::string& line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos)
        return std::nullopt;
    return KeyLine{trimBlanks(line.substr(0, equals)), trimBlanks(line.substr(equals + 1))};
}

// Index range [first, last) of the lines inside the first matching section,
// with first pointing just after its header; nothing when there is no such section.
struct SectionRange {
    std::size_t first;
    std::size_t last;
};

std::optional<SectionRange> findSection(const std::vector<std::string>& lines,
                                        const std::string& section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i]);
        if (!name || !sameName(*name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !sectionName(lines[end])) ++end;
        return SectionRange{i + 1, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(const std::vector<std::string>& lines, SectionRange range,
                                   const std::string& key) {
    for (std::size_t i = range.first; i < range.last; ++i) {
        const auto entry = keyLine(lines[i]);
        if (entry && sameName(entry->key, key))
            return i;
    }
    return std::nullopt;
}

std::string lineEnding(const std::vector<std::string>& lines) {
    if (!lines.empty() && lines.front().size() >= 2 &&
        lines.front().compare(lines.front().size() - 2, 2, "\r\n") == 0)
        return "\r\n";
    return "\n";
}

// Temporary files that a replacement of file left when its program was killed.
void removeAbandonedReplacements(const std::string& file) {
    const auto parent = parentFolder(file);
    const std::string name = parent ? file.substr(parent->size() + 1) : file;
    removeReplacementLeftovers(parent.value_or("."), name,
                               LeftoverOwners::KeepWhileTheirMakerMayRun);
}

}  // namespace

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback) {
    const auto text = readFileContents(file);
    if (!text)
        return fallback;
    const std::vector<std::string> lines = splitLines(*text);
    const auto range = findSection(lines, section);
    if (!range)
        return fallback;
    const auto index = findKey(lines, *range, key);
    if (!index)
        return fallback;
    return keyLine(lines[*index])->value;
}

bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    removeAbandonedReplacements(file);
    std::string reason;
    std::string text;
    if (entryExists(file)) {  // a folder or a dangling link here is an error, not "no file"
        const auto existing = readFileContents(file, &reason);
        if (!existing)
            return false;
        text = *existing;
    }
    std::vector<std::string> lines = splitLines(text);
    const std::string eol = lineEnding(lines);
    const std::string entry = key + "=" + value;

    if (const auto range = findSection(lines, section)) {
        if (const auto index = findKey(lines, *range, key)) {
            const std::string& old = lines[*index];
            const bool hadNewline = !old.empty() && old.back() == '\n';
            lines[*index] = entry + (hadNewline ? eol : "");
        } else {
            std::size_t insertAt = range->last;
            while (insertAt > range->first && trimBlanks(lines[insertAt - 1]).empty()) --insertAt;
            if (insertAt > 0 && lines[insertAt - 1].back() != '\n')
                lines[insertAt - 1] += eol;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry + eol);
        }
    } else {
        if (!lines.empty() && lines.back().back() != '\n')
            lines.back() += eol;
        lines.push_back("[" + section + "]" + eol);
        lines.push_back(entry + eol);
    }

    std::string result;
    for (const std::string& line : lines) result += line;
    return replaceFileContents(file, result, &reason);
}

}  // namespace platform
