#include <gtest/gtest.h>

#include "common/Csv.h"

namespace {

using Cells = std::vector<std::vector<std::string>>;

Cells cellsOf(const std::string& text) {
    Cells cells;
    for (const CsvRow& row : parseCsv(text)) cells.push_back(row.cells);
    return cells;
}

TEST(Csv, ReadsWhatSpreadsheetsWrite) {
    const struct {
        const char* what;
        std::string text;
        Cells cells;
    } cases[] = {
        {"commas, LF", "name,mode\nA,1\n", {{"name", "mode"}, {"A", "1"}}},
        {"semicolons, CRLF, BOM",
         "\xEF\xBB\xBFname;mode\r\nA;1\r\n",
         {{"name", "mode"}, {"A", "1"}}},
        {"the header decides", "name;a;b\nA;x,y;z\n", {{"name", "a", "b"}, {"A", "x,y", "z"}}},
        {"quotes", "name,v\n\"A \"\"1\"\"\",\"x,y\"\n", {{"name", "v"}, {"A \"1\"", "x,y"}}},
        {"empty cells and blank lines", "name,a,b\n\nA,,\n", {{"name", "a", "b"}, {"A", "", ""}}},
        {"no final line end", "name\nA", {{"name"}, {"A"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(cellsOf(c.text), c.cells) << c.what;
    EXPECT_EQ(parseCsv("name\n\"A\nB\"\nC\n").back().line, 4u);  // a quoted break counts
}

TEST(Csv, RefusesWhatItCannotRead) {
    for (const auto& [text, line] :
         std::vector<std::pair<std::string, std::size_t>>{{"name\nA\n\xFF\n", 3},
                                                          {"name\n\"A\n", 2},
                                                          {"name\nP\"x\"\n", 2},
                                                          {"name\n\"P\"x\n", 2},
                                                          {"name\n\xEF\xBB\xBFP\n", 2},
                                                          {"name\nA\xC0\xAF\n", 2},
                                                          {"name\nA\xED\xA0\x80\n", 2},
                                                          {"name\nA\xF4\x90\x80\x80\n", 2}}) {
        try {
            parseCsv(text);
            ADD_FAILURE() << "read: " << text;
        } catch (const CsvError& e) {
            EXPECT_EQ(e.line, line);
        }
    }
}

}  // namespace
