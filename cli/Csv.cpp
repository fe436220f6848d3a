#include "cli/Csv.h"

namespace {

// The length of the UTF-8 sequence at text[at], or 0 when it is not one.
std::size_t utf8Length(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80                    ? 1
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                               : lead >= 0xE0                 ? 3
                               : lead >= 0xC2 && lead < 0xE0  ? 2
                                                              : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

void requireUtf8(const std::string& text) {
    std::size_t line = 1;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8Length(text, at);
        if (length == 0)
            throw CsvError{line, "the text is not UTF-8"};
        if (text[at] == '\n')
            ++line;
        at += length;
    }
}

char separatorOf(const std::string& text) {
    std::size_t commas = 0;
    std::size_t semicolons = 0;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted && c == ',')
            ++commas;
        else if (!quoted && c == ';')
            ++semicolons;
    }
    return semicolons > commas ? ';' : ',';
}

}  // namespace

std::vector<CsvRow> parseCsv(const std::string& input) {
    const std::string text = input.compare(0, 3, "\xEF\xBB\xBF") == 0 ? input.substr(3) : input;
    requireUtf8(text);
    const char separator = separatorOf(text);
    std::vector<CsvRow> rows;
    CsvRow row{1, {}};
    std::string cell;
    bool quoted = false;
    bool wasQuoted = false;
    std::size_t line = 1;
    const auto endRow = [&](std::size_t nextLine) {
        row.cells.push_back(cell);
        const bool blank = row.cells.size() == 1 && row.cells.front().empty() && !wasQuoted;
        if (!blank)
            rows.push_back(row);
        row = CsvRow{nextLine, {}};
        cell.clear();
        wasQuoted = false;
    };
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (quoted) {
            if (c == '"' && at + 1 < text.size() && text[at + 1] == '"') {
                cell += '"';
                ++at;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n')
                    ++line;
                cell += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            wasQuoted = true;
        } else if (c == separator) {
            row.cells.push_back(cell);
            cell.clear();
        } else if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            continue;  // the LF ends the row
        } else if (c == '\n' || c == '\r') {
            endRow(++line);
        } else {
            cell += c;
        }
    }
    if (quoted)
        throw CsvError{row.line, "a quoted field is not closed"};
    if (!cell.empty() || !row.cells.empty() || wasQuoted)
        endRow(line);
    return rows;
}
