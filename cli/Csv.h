#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One record of a CSV file, with the line it starts on (from 1).
struct CsvRow {
    std::size_t line;
    std::vector<std::string> cells;
};

// What makes a file no CSV that can be read: the line and why.
struct CsvError {
    std::size_t line;
    std::string message;
};

// Reads CSV as spreadsheets write it: UTF-8 with or without a byte order mark,
// CRLF or LF, fields in double quotes (with "" for a quote, line breaks
// allowed), and "," or ";" as the separator, whichever the first line uses
// more often outside quotes. Blank lines are passed over. Raises CsvError for
// text that is not UTF-8 and for an unclosed quote.
std::vector<CsvRow> parseCsv(const std::string& text);
