#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/AppError.h"

// One record of a CSV file, with the line it starts on (from 1).
struct CsvRow {
    std::size_t line;
    std::vector<std::string> cells;
};

// What makes a file no CSV that can be read: the line and why.
class CsvError : public AppError {
  public:
    CsvError(std::size_t line, const std::string& message) : AppError(message), line(line) {}
    std::size_t line;
};

// The most a file may hold, so that its rows never take much more memory
// than its text: a 16 MiB line of commas is not 16 million cells.
struct CsvLimits {
    std::size_t cellsPerRow = 64;
    std::size_t rows = 100000;
};

// Reads CSV as spreadsheets write it: UTF-8 with or without a byte order mark,
// CRLF or LF, fields in double quotes (with "" for a quote, line breaks
// allowed), and "," or ";" as the separator, whichever the first line uses
// more often outside quotes. Blank lines are passed over. Raises CsvError,
// with the line, for text that is not well-formed UTF-8, a byte order mark
// after the start, a quote inside an unquoted cell or after a quoted one, an
// unclosed quote, and more rows or cells than the limits allow.
std::vector<CsvRow> parseCsv(const std::string& text, const CsvLimits& limits = {});

// One line of CSV, ended by CRLF: a cell holding a separator, a quote or a
// line break is quoted.
std::string csvLine(const std::vector<std::string>& cells);
