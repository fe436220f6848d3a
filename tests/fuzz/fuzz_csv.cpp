// The CSV reader: whatever it accepts, it reads back the same from its own
// writing (every cell quoted, "," between cells), within its limits, and
// every cell is well-formed UTF-8; what it refuses, it refuses with a line
// of the text.
#include <algorithm>
#include <string>

#include "FuzzSupport.h"
#include "common/Csv.h"
#include "common/Utf8.h"

namespace {

std::string written(const std::vector<CsvRow>& rows) {
    std::string text;
    for (const CsvRow& row : rows) {
        for (std::size_t i = 0; i < row.cells.size(); ++i) {
            std::string cell = row.cells[i];
            for (std::size_t at = 0; (at = cell.find('"', at)) != std::string::npos; at += 2)
                cell.insert(at, 1, '"');
            text += (i ? ",\"" : "\"") + cell + "\"";
        }
        text += "\n";
    }
    return text;
}

std::vector<std::vector<std::string>> cellsOf(const std::vector<CsvRow>& rows) {
    std::vector<std::vector<std::string>> cells;
    for (const CsvRow& row : rows) cells.push_back(row.cells);
    return cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const CsvLimits limits{8, 64};
    std::vector<CsvRow> rows;
    try {
        rows = parseCsv(text, limits);
    } catch (const CsvError& e) {
        // A lone CR ends a line too.
        const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n') +
                                                    std::count(text.begin(), text.end(), '\r'));
        if (e.line < 1 || e.line > lines + 1)
            finding("a refusal names line " + std::to_string(e.line));
        return 0;
    }
    if (rows.size() > limits.rows)
        finding("more rows than the limit");
    for (const CsvRow& row : rows) {
        if (row.cells.size() > limits.cellsPerRow)
            finding("more cells than the limit");
        for (const std::string& cell : row.cells) {
            if (!isValidUtf8(cell))
                finding("a cell that is not UTF-8");
        }
    }
    std::vector<CsvRow> again;
    try {
        again = parseCsv(written(rows), limits);
    } catch (const CsvError& e) {
        finding(std::string("its own writing refused: ") + e.what());
    }
    if (cellsOf(again) != cellsOf(rows))
        finding("its own writing reads back otherwise");
    return 0;
}
