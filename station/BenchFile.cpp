#include "station/BenchFile.h"

#include <map>
#include <set>

#include "common/Csv.h"
#include "common/ShortQuote.h"
#include "common/Utf8.h"
#include "platform/SerialNames.h"

namespace {

constexpr const char* kLabelColumn = "fixture";
const std::set<std::string> kPinColumns = {"port", "usbPath", "serial"};

// The column of each name in the header, which names the label and a pin.
std::map<std::string, std::size_t> columnsOf(const CsvRow& header) {
    std::map<std::string, std::size_t> columns;
    for (std::size_t i = 0; i < header.cells.size(); ++i) {
        const std::string& name = header.cells[i];
        if (name != kLabelColumn && !kPinColumns.count(name))
            throw CsvError{header.line, "unknown column " + shortQuote(name) +
                                            "; a bench names fixture, port, usbPath and serial"};
        if (!columns.emplace(name, i).second)
            throw CsvError{header.line, "the column " + shortQuote(name) + " is given twice"};
    }
    if (!columns.count(kLabelColumn) || columns.size() < 2)
        throw CsvError{header.line, "the header must name fixture and a port, usbPath or serial"};
    return columns;
}

Fixture fixtureOf(const CsvRow& row, const std::map<std::string, std::size_t>& columns) {
    if (row.cells.size() > columns.size())
        throw CsvError{row.line, "more cells than columns"};
    const auto cell = [&](const std::string& column) -> std::string {
        const auto found = columns.find(column);
        return found == columns.end() || found->second >= row.cells.size()
                   ? std::string()
                   : row.cells[found->second];
    };
    Fixture fixture{cell(kLabelColumn), cell("port"), cell("usbPath"), cell("serial")};
    if (fixture.label.empty() || utf8CharacterCount(fixture.label) > kLongestFixtureLabel)
        throw CsvError{row.line, "a fixture's label has 1 to 16 characters"};
    const int pins = !fixture.port.empty() + !fixture.usbPath.empty() + !fixture.serial.empty();
    if (pins != 1)
        throw CsvError{row.line, fixture.label +
                                     " must be pinned by exactly one of port, "
                                     "usbPath and serial"};
    if (!fixture.port.empty()) {
        const auto number = platform::comPortNumber(fixture.port);
        if (!number)
            throw CsvError{row.line, shortQuote(fixture.port) + " is no port name like COM3"};
        fixture.port = "COM" + std::to_string(*number);
    }
    return fixture;
}

}  // namespace

std::vector<Fixture> readBenchFile(const std::string& text) {
    const std::vector<CsvRow> rows = parseCsv(text);
    if (rows.empty())
        throw CsvError{1, "there is no header line"};
    const auto columns = columnsOf(rows.front());
    std::vector<Fixture> fixtures;
    std::set<std::string> labels;
    std::set<std::string> pins;
    for (auto row = rows.begin() + 1; row != rows.end(); ++row) {
        Fixture fixture = fixtureOf(*row, columns);
        if (!labels.insert(fixture.label).second)
            throw CsvError{row->line,
                           "the fixture " + shortQuote(fixture.label) + " is given twice"};
        const std::string pin = fixture.port + "\n" + fixture.usbPath + "\n" + fixture.serial;
        if (!pins.insert(pin).second)
            throw CsvError{row->line, fixture.label + " is pinned as another fixture is"};
        fixtures.push_back(std::move(fixture));
    }
    if (fixtures.empty())
        throw CsvError{rows.front().line, "the bench has no fixture"};
    if (fixtures.size() > kMostFixtures)
        throw CsvError{rows[kMostFixtures + 1].line, "a bench has at most 16 fixtures"};
    return fixtures;
}
