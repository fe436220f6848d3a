#include <gtest/gtest.h>

#include "documents/TranslateTable.h"
#include "documents/XmlDocument.h"
#include "support/TempFolder.h"

namespace {

using C = TranslateCells;

void fillRow(TranslateCells& cells, int row, std::array<std::string, 6> values) {
    cells.rows.at(static_cast<std::size_t>(row - 1)) = std::move(values);
}

TEST(TranslateTable, EmptyTableGivesAnEmptyRoot) {
    TranslateCells cells;
    std::vector<TMyRec> rows{TMyRec{}};
    EXPECT_EQ(checkDataTypeNames(cells), std::nullopt);
    EXPECT_EQ(collectRows(cells, rows), std::nullopt);
    EXPECT_TRUE(rows.empty());
    TempFolder folder;
    XmlDocument document;
    writeTranslateTable(document, rows, folder / "var.xml");
    EXPECT_EQ(readFile(folder / "var.xml"),
              readFile(std::string(TARVEL_TEST_DATA) + "/documents/golden/empty_var.xml"));
}

TEST(TranslateTable, RowChecksAndBounds) {
    struct Case {
        std::array<std::string, 6> row;
        std::optional<std::string> message;
    };
    const Case cases[] = {
        {{"Coil Status", "65535", "255", "65535", "127", "m"}, std::nullopt},
        {{"Input Status", "0", "0", "0", "0", ""}, std::nullopt},
        {{"", "1", "1", "1", "1", ""},
         "Error!! Data Type must be Holding Register or Input Register. "},
        {{"Input Register", "65536", "1", "1", "1", ""},
         "Error!! Address TCP must be between 0 and 65535. "},
        {{"Input Register", "-1", "1", "1", "1", ""},
         "Error!! Address TCP must be between 0 and 65535. "},
        {{"Input Register", "1", "256", "1", "1", ""},
         "Error!! Address Device RTU must be between 0 and 255. "},
        {{"Input Register", "1", "-1", "1", "1", ""},
         "Error!! Address Device RTU must be between 0 and 255. "},
        {{"Input Register", "1", "1", "65536", "1", ""},
         "Error!! Address RTU must be between 0 and 65535. "},
        {{"Input Register", "1", "1", "-1", "1", ""},
         "Error!! Address RTU must be between 0 and 65535. "},
        {{"Input Register", "1", "1", "1", "128", ""},
         "Error!! N\xC2\xB0 Point must be between 0 and 127. "},
        {{"Input Register", "1", "1", "1", "-1", ""},
         "Error!! N\xC2\xB0 Point must be between 0 and 127. "},
        {{"Input Register", "word", "1", "1", "1", ""},
         "Error!! Address TCP must be between 0 and 65535. "},
    };
    for (const Case& c : cases) {
        TranslateCells cells;
        fillRow(cells, 1, c.row);
        std::vector<TMyRec> rows;
        EXPECT_EQ(collectRows(cells, rows), c.message) << c.row[1] << "/" << c.row[2];
    }
}

TEST(TranslateTable, NamesCheckNamesTheLine) {
    TranslateCells cells;
    fillRow(cells, 1, {"Holding Register", "1", "1", "1", "1", ""});
    cells.cell(2000, C::DataType) = "holding register";
    EXPECT_EQ(checkDataTypeNames(cells),
              "Error!! Type Data must be Holding Register or Input Register (Line 2000). ");
}

TEST(TranslateTable, TableEndsAtTheFirstRowWithoutTcpAddressAndIsWrittenInOrder) {
    TranslateCells cells;
    fillRow(cells, 1, {"Holding Register", "$10", "7", "100", "10", "a&b<c\"d"});
    fillRow(cells, 2, {"Coil Status", "65535", "255", "65535", "127", "\xC3\xBC"});
    fillRow(cells, 3, {"Input Register", "", "1", "1", "1", "ends here"});
    fillRow(cells, 4, {"Input Register", "bad", "1", "1", "1", "never read"});
    std::vector<TMyRec> rows;
    ASSERT_EQ(collectRows(cells, rows), std::nullopt);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (TMyRec{3, 16, 7, 100, 10, "a&b<c\"d"}));
    EXPECT_EQ(rows[1], (TMyRec{1, 65535, 255, 65535, 127, "\xC3\xBC"}));

    TempFolder folder;
    XmlDocument document;
    writeTranslateTable(document, rows, folder / "var.xml");
    EXPECT_EQ(readFile(folder / "var.xml"),
              "<TCP_TO_RTU><row DATA_TYPE=\"3\" TCP_ADDRESS=\"16\" RTU_ADD_DEV=\"7\" "
              "RTU_ADDRESS=\"100\" N_POINT=\"10\" MNEMONIC=\"a&amp;b&lt;c&quot;d\"/>"
              "<row DATA_TYPE=\"1\" TCP_ADDRESS=\"65535\" RTU_ADD_DEV=\"255\" "
              "RTU_ADDRESS=\"65535\" N_POINT=\"127\" MNEMONIC=\"\xC3\xBC\"/></TCP_TO_RTU>");
}

}  // namespace
