#include "common/Csv.h"

#include "common/Utf8.h"

namespace {

void requireUtf8(std::string_view text) {
    std::size_t line = 1;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0)
            throw CsvError{line, "the text is not UTF-8"};
        if (text.substr(at, length) == kUtf8ByteOrderMark)
            throw CsvError{line, "a byte order mark inside the text"};
        if (text[at] == '\n')
            ++line;
        at += length;
    }
}

char separatorOf(std::string_view text) {
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

std::vector<CsvRow> parseCsv(const std::string& input, const CsvLimits& limits) {
    const std::string text = input.compare(0, kUtf8ByteOrderMark.size(), kUtf8ByteOrderMark) == 0
                                 ? input.substr(3)
                                 : input;
    requireUtf8(text);
    const char separator = separatorOf(text);
    std::vector<CsvRow> rows;
    CsvRow row{1, {}};
    std::string cell;
    bool quoted = false;
    bool wasQuoted = false;
    // A quoted cell has just ended: only a separator or a line end may follow.
    bool closed = false;
    std::size_t line = 1;
    const auto endCell = [&] {
        if (row.cells.size() == limits.cellsPerRow)
            throw CsvError{row.line, "more than " + std::to_string(limits.cellsPerRow) + " cells"};
        row.cells.push_back(std::move(cell));
        cell.clear();
    };
    const auto endRow = [&](std::size_t nextLine) {
        endCell();
        const bool blank = row.cells.size() == 1 && row.cells.front().empty() && !wasQuoted;
        if (!blank && rows.size() == limits.rows)
            throw CsvError{row.line, "more than " + std::to_string(limits.rows) + " rows"};
        if (!blank)
            rows.push_back(std::move(row));
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
                closed = true;
            } else {
                if (c == '\n')
                    ++line;
                cell += c;
            }
            continue;
        }
        const bool endsCell = c == separator || c == '\n' || c == '\r';
        if (closed && !endsCell)
            throw CsvError{line, "text after a quoted cell"};
        closed = false;
        if (c == '"') {
            // A quote opens a cell only at its start; elsewhere it would be
            // dropped or misread.
            if (!cell.empty())
                throw CsvError{line, "a quote inside an unquoted cell"};
            quoted = true;
            wasQuoted = true;
        } else if (c == separator) {
            endCell();
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

std::string csvLine(const std::vector<std::string>& cells) {
    std::string line;
    for (const std::string& cell : cells) {
        if (!line.empty())
            line += ',';
        if (cell.find_first_of(",;\"\r\n") == std::string::npos) {
            line += cell;
            continue;
        }
        line += '"';
        for (const char c : cell) line += c == '"' ? std::string("\"\"") : std::string(1, c);
        line += '"';
    }
    return line + "\r\n";
}
