#include "documents/TranslateTable.h"

#include "common/IntegerText.h"
#include "documents/XmlDocument.h"

namespace {

// Data type codes are the Modbus function codes that read each kind of object.
constexpr std::array<const char*, 4> kDataTypeNames = {"Coil Status", "Input Status",
                                                       "Holding Register", "Input Register"};

std::optional<std::uint8_t> dataTypeCode(const std::string& name) {
    for (std::size_t i = 0; i < kDataTypeNames.size(); ++i) {
        if (name == kDataTypeNames[i])
            return static_cast<std::uint8_t>(i + 1);
    }
    return std::nullopt;
}

std::optional<std::int32_t> inRange(const std::string& text, std::int32_t highest) {
    const auto value = tryParseInteger(text);
    if (!value || *value < 0 || *value > highest)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> checkDataTypeNames(const TranslateCells& cells) {
    for (int row = 1; row <= TranslateCells::kRowCount; ++row) {
        const std::string& name = cells.cell(row, TranslateCells::DataType);
        if (!name.empty() && !dataTypeCode(name))
            return "Error!! Type Data must be Holding Register or Input Register (Line " +
                   std::to_string(row) + "). ";
    }
    return std::nullopt;
}

std::optional<std::string> collectRows(const TranslateCells& cells, std::vector<TMyRec>& rows) {
    using C = TranslateCells;
    rows.clear();
    for (int row = 1; row <= C::kRowCount && !cells.cell(row, C::AddressTcp).empty(); ++row) {
        TMyRec& rec = rows.emplace_back();
        const auto type = dataTypeCode(cells.cell(row, C::DataType));
        if (!type)
            return "Error!! Data Type must be Holding Register or Input Register. ";
        rec.DataType = *type;
        const auto tcp = inRange(cells.cell(row, C::AddressTcp), 65535);
        if (!tcp)
            return "Error!! Address TCP must be between 0 and 65535. ";
        rec.TcpAddress = static_cast<std::uint16_t>(*tcp);
        const auto device = inRange(cells.cell(row, C::AddressDeviceRtu), 255);
        if (!device)
            return "Error!! Address Device RTU must be between 0 and 255. ";
        rec.RtuAddDev = static_cast<std::uint8_t>(*device);
        const auto rtu = inRange(cells.cell(row, C::AddressRtu), 65535);
        if (!rtu)
            return "Error!! Address RTU must be between 0 and 65535. ";
        rec.RtuAddress = static_cast<std::uint16_t>(*rtu);
        const auto points = inRange(cells.cell(row, C::NPoint), 127);
        if (!points)
            return "Error!! N\xC2\xB0 Point must be between 0 and 127. ";
        rec.NPoint = static_cast<std::uint8_t>(*points);
        rec.Mnemonic = cells.cell(row, C::Mnemonic);
    }
    return std::nullopt;
}

void writeTranslateTable(XmlDocument& document, const std::vector<TMyRec>& rows,
                         const std::string& path) {
    fillTranslateTable(document, rows);
    document.saveToFile(path);
}

void fillTranslateTable(XmlDocument& document, const std::vector<TMyRec>& rows) {
    document.activate();
    document.childNodes().clear();
    XmlNode root = document.addChild("TCP_TO_RTU");
    for (const TMyRec& rec : rows) {
        XmlNode row = root.addChild("row");
        row.setAttribute("DATA_TYPE", std::to_string(rec.DataType));
        row.setAttribute("TCP_ADDRESS", std::to_string(rec.TcpAddress));
        row.setAttribute("RTU_ADD_DEV", std::to_string(rec.RtuAddDev));
        row.setAttribute("RTU_ADDRESS", std::to_string(rec.RtuAddress));
        row.setAttribute("N_POINT", std::to_string(rec.NPoint));
        row.setAttribute("MNEMONIC", rec.Mnemonic);
    }
}
