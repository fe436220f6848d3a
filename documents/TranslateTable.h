#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class XmlDocument;

// One converted row of the translate table.
struct TMyRec {
    std::uint8_t DataType = 0;
    std::uint16_t TcpAddress = 0;
    std::uint8_t RtuAddDev = 0;
    std::uint16_t RtuAddress = 0;
    std::uint8_t NPoint = 0;
    std::string Mnemonic;
    bool operator==(const TMyRec&) const = default;
};

// The table as typed: rows 1 to 2000 of six text cells, "Data Type",
// "Address TCP", "Address Device RTU", "Address RTU", "N° Point", "Mnemonic".
struct TranslateCells {
    enum Column { DataType, AddressTcp, AddressDeviceRtu, AddressRtu, NPoint, Mnemonic };
    static constexpr int kRowCount = 2000;

    std::vector<std::array<std::string, 6>> rows =
        std::vector<std::array<std::string, 6>>(kRowCount);

    // Row numbers count from 1.
    std::string& cell(int row, Column column) {
        return rows.at(static_cast<std::size_t>(row - 1))[column];
    }
    const std::string& cell(int row, Column column) const {
        return rows.at(static_cast<std::size_t>(row - 1))[column];
    }
};

// The message for the first filled "Data Type" cell holding none of the four
// names, or nothing.
std::optional<std::string> checkDataTypeNames(const TranslateCells& cells);

// Converts the rows up to the first one without "Address TCP" into rows;
// returns the message of the first failing check, or nothing.
std::optional<std::string> collectRows(const TranslateCells& cells, std::vector<TMyRec>& rows);

// Rebuilds the document (root TCP_TO_RTU, one row element per entry) without
// saving it.
void fillTranslateTable(XmlDocument& document, const std::vector<TMyRec>& rows);

// Rebuilds the document (root TCP_TO_RTU, one row element per entry) and saves
// it over path.
void writeTranslateTable(XmlDocument& document, const std::vector<TMyRec>& rows,
                         const std::string& path);
