#include <gtest/gtest.h>

#include "documents/GeneralParameters.h"
#include "documents/XmlDocument.h"
#include "support/TempFolder.h"

namespace {

const std::string kGolden = std::string(TARVEL_TEST_DATA) + "/documents/golden/default_pargen.xml";

GeneralParameters readText(const std::string& xml) {
    TempFolder folder;
    writeFile(folder / "pargen.xml", xml);
    XmlDocument document;
    document.loadFromFile(folder / "pargen.xml");
    return readGeneralParameters(document);
}

std::string parameterDocument(const std::string& elements) {
    return "<General_Parameter>" + elements + "</General_Parameter>";
}

TEST(GeneralParameterDocument, DefaultDocumentMatchesTheReferenceByteForByte) {
    TempFolder folder;
    XmlDocument document;
    writeGeneralParameters(document, GeneralParameters{}, folder / "pargen.xml");
    EXPECT_EQ(readFile(folder / "pargen.xml"), readFile(kGolden));
    EXPECT_EQ(readText(readFile(kGolden)), GeneralParameters{});
}

TEST(GeneralParameterDocument, RoundTripKeepsEveryValue) {
    GeneralParameters p;
    p.mode = 1;
    p.rtu = {true, 7, 2, 0, 1, "60000"};
    p.ascii = {false, -1, -1, 2, -1, "not a number"};
    TempFolder folder;
    XmlDocument document;
    writeGeneralParameters(document, p, folder / "pargen.xml");
    XmlDocument reader;
    reader.loadFromFile(folder / "pargen.xml");
    EXPECT_EQ(readGeneralParameters(reader), p);
}

TEST(GeneralParameterDocument, EachElementFallsBackOnItsOwn) {
    struct Case {
        const char* name;
        std::string elements;
        GeneralParameters expected;
    };
    GeneralParameters defaults;
    auto with = [&](auto change) {
        GeneralParameters p = defaults;
        change(p);
        return p;
    };
    const Case cases[] = {
        {"missing everything", "", defaults},
        {"word mode", "<MODE_DEV>one</MODE_DEV>", defaults},
        {"hex mode", "<MODE_DEV>$1</MODE_DEV>", with([](auto& p) { p.mode = 1; })},
        {"mode above 1 kept", "<MODE_DEV>5</MODE_DEV>", with([](auto& p) { p.mode = 5; })},
        {"negative mode", "<MODE_DEV>-3</MODE_DEV>", with([](auto& p) { p.mode = -3; })},
        {"RS232 only for exactly 0", "<SER_RTU>0</SER_RTU><SER_ASCII> 0</SER_ASCII>",
         with([](auto& p) { p.rtu.rs232 = true; })},
        {"interface 2 or empty", "<SER_RTU>2</SER_RTU><SER_ASCII/>", defaults},
        {"out of list position", "<BAUD_RTU>12</BAUD_RTU><PAR_ASCII>-1</PAR_ASCII>",
         with([](auto& p) {
             p.rtu.baudRate = 12;
             p.ascii.parity = -1;
         })},
        {"nested element", "<DATA_RTU>1<X/></DATA_RTU><STOP_RTU>1</STOP_RTU>",
         with([](auto& p) { p.rtu.stopBits = 1; })},
        {"CDATA text", "<TO_RTU><![CDATA[250]]></TO_RTU>",
         with([](auto& p) { p.rtu.timeout = "250"; })},
        {"twice: first counts", "<BAUD_ASCII>1</BAUD_ASCII><BAUD_ASCII>2</BAUD_ASCII>",
         with([](auto& p) { p.ascii.baudRate = 1; })},
        {"timeout words kept", "<TO_ASCII>soon</TO_ASCII><TO_RTU>\xC3\xA9t\xC3\xA9</TO_RTU>",
         with([](auto& p) {
             p.ascii.timeout = "soon";
             p.rtu.timeout = "\xC3\xA9t\xC3\xA9";
         })},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readText(parameterDocument(c.elements)), c.expected) << c.name;

    EXPECT_EQ(readText("<Other><MODE_DEV>1</MODE_DEV></Other>"), defaults)
        << "root of another name";
    EXPECT_EQ(readText("<?xml version=\"1.0\"?><!-- c --><General_Parameter><MODE_DEV>1</MODE_DEV>"
                       "</General_Parameter>")
                  .mode,
              1)
        << "declaration and comment ahead of the root";
}

}  // namespace
