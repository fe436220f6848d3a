#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "common/AppError.h"
#include "documents/GeneralParameters.h"
#include "documents/XmlDocument.h"
#include "image/ParameterImage.h"
#include "support/PosixOnly.h"
#include "support/TempFolder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes currentImage() {
    return Bytes(ImageBuffer.begin(), ImageBuffer.begin() + ImageLength);
}

// The worked example: RTU on RS485 with its pair read, ASCII on RS232.
const std::map<std::string, std::string> kExample = {
    {"MODE_DEV", "0"},    {"SER_RTU", "1"},   {"BAUD_RTU", "3"},   {"PAR_RTU", "2"},
    {"DATA_RTU", "3"},    {"STOP_RTU", "1"},  {"TO_RTU", "1000"},  {"SER_ASCII", "0"},
    {"BAUD_ASCII", "4"},  {"PAR_ASCII", "0"}, {"DATA_ASCII", "1"}, {"STOP_ASCII", "1"},
    {"TO_ASCII", "60000"}};
const Bytes kExampleImage = {0x04, 0x00, 0x00, 0x00, 0x00, 0x01, 0x03, 0x02, 0xE8, 0x03,
                             0x00, 0x04, 0x00, 0x60, 0xEA, 0x03, 0x02, 0x03, 0x00};

std::string documentWith(std::map<std::string, std::string> values,
                         const std::map<std::string, std::string>& changes,
                         const std::string& root = "General_Parameter") {
    for (const auto& [name, value] : changes) {
        if (value == "<absent>")
            values.erase(name);
        else
            values[name] = value;
    }
    std::string xml = "<" + root + ">";
    for (const auto& [name, value] : values) xml += "<" + name + ">" + value + "</" + name + ">";
    return xml + "</" + root + ">";
}

class ParameterImageTest : public testing::Test {
  protected:
    TempFolder project;
    XmlDocument document;

    Bytes build(const std::string& xml) {
        writeFile(project / "pargen.xml", xml);
        BuildParameterImage(document, project.path());
        return currentImage();
    }
};

TEST_F(ParameterImageTest, WorkedExample) {
    EXPECT_EQ(build(documentWith(kExample, {})), kExampleImage);
}

TEST_F(ParameterImageTest, FieldEncodings) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> changes;
        std::size_t offset;
        Bytes bytes;
    };
    const Case cases[] = {
        {"time-out keeps its low 16 bits", {{"TO_RTU", "70000"}}, 8, {0x70, 0x11}},
        {"-1 in a byte field", {{"BAUD_RTU", "-1"}}, 6, {0xFF}},
        {"hex text", {{"PAR_ASCII", "$FF"}, {"BAUD_ASCII", "0x10"}}, 11, {0x10, 0xFF}},
        {"blank and plus", {{"MODE_DEV", " 7"}, {"SER_RTU", "+3"}}, 4, {0x07, 0x03}},
        {"large value", {{"TO_ASCII", "2147483647"}}, 13, {0xFF, 0xFF}},
        {"257 counts as line type 1",
         {{"SER_ASCII", "257"}, {"DATA_ASCII", "2"}},
         15,
         {0x03, 0x02, 0x02, 0x02}},
        {"stop code 0 stays", {{"STOP_RTU", "0"}}, 15, {0x03, 0x00}},
        {"stop code 2 stays", {{"STOP_RTU", "2"}}, 15, {0x03, 0x02}},
        {"other stop codes unchanged", {{"STOP_RTU", "300"}}, 15, {0x03, 0x2C}},
        {"missing pair falls back",
         {{"DATA_RTU", "<absent>"}, {"STOP_RTU", "<absent>"}},
         15,
         {0x03, 0x00}},
        {"word pair falls back", {{"DATA_RTU", "eight"}, {"STOP_RTU", "one"}}, 15, {0x03, 0x00}},
        {"line type 2 fixes the pair", {{"SER_RTU", "2"}, {"DATA_RTU", "bad"}}, 15, {0x03, 0x00}},
        {"line type 0 fixes the pair", {{"SER_RTU", "0"}, {"DATA_RTU", "1"}}, 15, {0x03, 0x00}},
    };
    for (const Case& c : cases) {
        const Bytes image = build(documentWith(kExample, c.changes));
        ASSERT_EQ(image.size(), 19u) << c.what;
        EXPECT_EQ(Bytes(image.begin() + static_cast<long>(c.offset),
                        image.begin() + static_cast<long>(c.offset + c.bytes.size())),
                  c.bytes)
            << c.what;
    }
}

TEST_F(ParameterImageTest, OrderExtraElementsAndRootNameDoNotMatter) {
    const std::string reordered =
        "<Other><X>1</X><TO_ASCII>60000</TO_ASCII><MODE_DEV>0</MODE_DEV><SER_RTU>1</SER_RTU>"
        "<BAUD_RTU>3</BAUD_RTU><PAR_RTU>2</PAR_RTU><DATA_RTU>3</DATA_RTU><STOP_RTU>1</STOP_RTU>"
        "<TO_RTU>1000</TO_RTU><SER_ASCII>0</SER_ASCII><BAUD_ASCII>4</BAUD_ASCII>"
        "<PAR_ASCII>0</PAR_ASCII><MODE_DEV>9</MODE_DEV></Other>";
    EXPECT_EQ(build(reordered), kExampleImage);
}

TEST_F(ParameterImageTest, FailuresRaiseAndKeepTheHeadLength) {
    struct Case {
        const char* what;
        std::string xml;
        std::string message;
    };
    const Case cases[] = {
        {"missing element", documentWith(kExample, {{"MODE_DEV", "<absent>"}}),
         "The element MODE_DEV is missing in " + project / "pargen.xml"},
        {"word", documentWith(kExample, {{"BAUD_ASCII", "fast"}}),
         "'fast' is not a valid integer value"},
        {"too large", documentWith(kExample, {{"TO_RTU", "2147483648"}}),
         "'2147483648' is not a valid integer value"},
        {"wrong case", documentWith(kExample, {{"PAR_RTU", "<absent>"}, {"par_rtu", "1"}}),
         "The element PAR_RTU is missing in " + project / "pargen.xml"},
        {"nested element", documentWith(kExample, {{"SER_RTU", "1<A/>"}}),
         "Element does not contain a single text node"},
        {"comment ahead of the root", "<!-- c -->" + documentWith(kExample, {}),
         "The first node of " + project / "pargen.xml" + " is not the parameter element"},
        {"declaration ahead of the root", "<?xml version=\"1.0\"?>" + documentWith(kExample, {}),
         "The first node of " + project / "pargen.xml" + " is not the parameter element"},
    };
    for (const Case& c : cases) {
        try {
            build(c.xml);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const AppError& e) {
            EXPECT_EQ(std::string(e.what()), c.message) << c.what;
        }
        EXPECT_EQ(ImageLength, 4) << c.what;
    }
    EXPECT_THROW(build("<General_Parameter>"), AppError);
}

TEST_F(ParameterImageTest, DeletedDocumentGivesTheHeadAloneWithNothingLeftOver) {
    std::filesystem::create_directory(project / "bin");
    build(documentWith(kExample, {}));
    WriteParameterImage(project.path());
    EXPECT_EQ(readFile(project / "bin/bank.bin").size(), 19u);

    std::filesystem::remove(project / "pargen.xml");
    BuildParameterImage(document, project.path());
    WriteParameterImage(project.path());
    EXPECT_EQ(readFile(project / "bin/bank.bin"), std::string("\x04\0\0\0", 4));
}

TEST_F(ParameterImageTest, UnwritableImageRaisesNamingTheFile) {
    build(documentWith(kExample, {}));
    try {
        WriteParameterImage(project.path());  // no bin folder
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_NE(std::string(e.what()).find(project / "bin/bank.bin"), std::string::npos);
    }
}

}  // namespace

namespace {

// What the General Parameter dialog reads from the same file.
GeneralParameters dialogReading(const std::string& path) {
    XmlDocument document;
    document.loadFromFile(path);
    return readGeneralParameters(document);
}

}  // namespace

TEST_F(ParameterImageTest, DocumentsThatAreNotWellFormedAreRefusedByBothReaders) {
    const std::string valid = documentWith(kExample, {});
    const std::string body = valid.substr(std::string("<General_Parameter>").size());
    const std::pair<const char*, std::string> cases[] = {
        {"text before the root", "junk" + valid},
        {"text after the root", valid + "junk"},
        {"a second root", valid + "<General_Parameter/>"},
        {"a bare ampersand", documentWith(kExample, {{"TO_RTU", "1000 & 1"}})},
        {"< in an attribute", "<General_Parameter a=\"<\">" + body},
        {"duplicate attributes", "<General_Parameter a=\"1\" a=\"2\">" + body},
        {"an undefined entity", documentWith(kExample, {{"DATA_RTU", "&foo;"}})},
        {"an entity an external DTD would define",
         "<!DOCTYPE General_Parameter SYSTEM \"x.dtd\">" +
             documentWith(kExample, {{"DATA_RTU", "&foo;"}})},
        {"a reference to character 0", documentWith(kExample, {{"TO_ASCII", "&#0;"}})},
        {"an unclosed root", "<General_Parameter>" + body.substr(0, body.size() - 20)},
        {"an empty file", ""},
    };
    std::filesystem::create_directory(project / "bin");
    for (const auto& [what, xml] : cases) {
        writeFile(project / "pargen.xml", xml);
        std::string imageError;
        try {
            BuildParameterImage(document, project.path());
        } catch (const AppError& e) {
            imageError = e.what();
        }
        EXPECT_NE(imageError.find("\nLine: "), std::string::npos) << what << ": " << imageError;
        try {
            dialogReading(project / "pargen.xml");
            ADD_FAILURE() << what << ": the dialog's reader took it";
        } catch (const AppError& e) {
            EXPECT_EQ(e.what(), imageError) << what;
        }
    }
}

TEST_F(ParameterImageTest, WellFormedOdditiesReadAsBefore) {
    const GeneralParameters expected = [] {
        GeneralParameters p;
        p.rtu = {false, 3, 2, 3, 1, "1000"};
        p.ascii = {true, 4, 0, 1, 1, "60000"};
        return p;
    }();
    const std::string bom = "\xEF\xBB\xBF";
    const std::string pretty =
        "<General_Parameter>\r\n\r\n  <MODE_DEV>0</MODE_DEV>\r\n  <!-- RTU side -->\r\n"
        "  <SER_RTU>1</SER_RTU>\r\n\t<BAUD_RTU>3</BAUD_RTU>\n  <PAR_RTU>2</PAR_RTU>\r"
        "  <DATA_RTU>3</DATA_RTU>\n  <STOP_RTU>1</STOP_RTU>\n  <TO_RTU>1000</TO_RTU>\n"
        "  <SER_ASCII>0</SER_ASCII>\n  <BAUD_ASCII>4</BAUD_ASCII>\n  <PAR_ASCII>0</PAR_ASCII>\n"
        "  <DATA_ASCII>1</DATA_ASCII>\n  <STOP_ASCII>1</STOP_ASCII>\n"
        "  <TO_ASCII>60000</TO_ASCII>\n</General_Parameter>\n\n";
    const std::pair<const char*, std::string> cases[] = {
        {"character references",
         documentWith(kExample, {{"TO_RTU", "&#49;000"}, {"TO_ASCII", "&#x36;0000"}})},
        {"CDATA", documentWith(kExample, {{"BAUD_RTU", "<![CDATA[3]]>"}})},
        {"an entity in an extra element", documentWith(kExample, {{"NOTE", "a &amp; b &lt; c"}})},
        {"comments inside and after the root",
         documentWith(kExample, {{"X", "<!-- inside -->"}}) + "<!-- after -->\n"},
        {"processing instruction after the root", documentWith(kExample, {}) + "<?app x?>"},
        {"pretty-printed with blank lines and mixed line ends", pretty},
        {"a byte-order mark", bom + documentWith(kExample, {})},
    };
    for (const auto& [what, xml] : cases) {
        EXPECT_EQ(build(xml), kExampleImage) << what;
        EXPECT_EQ(dialogReading(project / "pargen.xml"), expected) << what;
    }
}

TEST_F(ParameterImageTest, AFolderOrDanglingLinkInTheDocumentsPlaceIsAnError) {
    std::filesystem::create_directory(project / "pargen.xml");
    EXPECT_THROW(BuildParameterImage(document, project.path()), AppError);
    std::filesystem::remove(project / "pargen.xml");
    POSIX_ONLY_FROM_HERE("symbolic links");
    std::filesystem::create_symlink(project / "gone.xml", project / "pargen.xml");
    try {
        BuildParameterImage(document, project.path());
        ADD_FAILURE() << "a dangling link read as no document";
    } catch (const AppError& e) {
        EXPECT_NE(std::string(e.what()).find(project / "pargen.xml"), std::string::npos);
    }
    EXPECT_EQ(ImageLength, 4);
}
