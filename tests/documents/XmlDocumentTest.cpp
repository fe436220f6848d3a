#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>

#include "common/AppError.h"
#include "documents/XmlDocument.h"
#include "support/TempFolder.h"

namespace {

std::string loadError(const std::string& path) {
    XmlDocument document;
    try {
        document.loadFromFile(path);
    } catch (const AppError& e) {
        EXPECT_FALSE(document.isActive());
        EXPECT_EQ(document.fileName(), path);
        return e.what();
    }
    return "(loaded)";
}

TEST(XmlDocument, ParseErrorNamesReasonLineAndItsFirst40Characters) {
    TempFolder folder;
    const std::string path = folder / "bad.xml";
    const std::string longLine = "<B>" + std::string(60, 'x') + "</C>";
    writeFile(path, "<A>\n  <B>1</B>\n" + longLine + "\n</A>");
    const std::string message = loadError(path);
    const std::size_t firstBreak = message.find('\n');
    ASSERT_NE(firstBreak, std::string::npos);
    EXPECT_GT(firstBreak, 0u);  // the parser's reason
    EXPECT_EQ(message.substr(firstBreak), "\nLine: 3\n" + longLine.substr(0, 40));
}

TEST(XmlDocument, UnparseableInputsAllRaise) {
    TempFolder folder;
    const std::string inputs[] = {
        "",           "   ",      std::string("\x00\x01\x02garbage\xff", 12),
        "<A><B></A>", "<A/><B/>", "text only"};
    for (const std::string& input : inputs) {
        writeFile(folder / "doc.xml", input);
        EXPECT_NE(loadError(folder / "doc.xml"), "(loaded)");
    }
    EXPECT_NE(loadError(folder / "missing.xml"), "(loaded)");
}

TEST(XmlDocument, DeclarationsAndCommentsAreNodesWhitespaceIsNot) {
    TempFolder folder;
    writeFile(folder / "doc.xml",
              "<?xml version=\"1.0\"?>\n<!-- note -->\n<Root>\n  <A> 7 </A>\n  <B/>\n  "
              "<C><![CDATA[x<y]]></C><D>1<E/></D><A>second</A></Root>\n");
    XmlDocument document;
    document.loadFromFile(folder / "doc.xml");
    EXPECT_EQ(document.childNodes().count(), 3u);
    EXPECT_NE(document.childNodes().first().name(), "Root");
    const XmlNode root = document.childNodes().findNode("Root");
    ASSERT_FALSE(root.isNone());
    const XmlNodeList children = root.childNodes();
    EXPECT_EQ(children.count(), 5u);
    EXPECT_EQ(children.findNode("A").text(), " 7 ");  // the first of two counts
    EXPECT_EQ(children.findNode("B").text(), "");
    EXPECT_EQ(children.findNode("C").text(), "x<y");
    EXPECT_TRUE(children.findNode("a").isNone());  // names compare exactly
    try {
        (void)children.findNode("D").text();
        FAIL();
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "Element does not contain a single text node");
    }
    EXPECT_THROW((void)children.findNode("Missing").text(), AppError);
    EXPECT_THROW((void)children.findNode("Missing").childNodes(), AppError);
}

TEST(XmlDocument, SavesTheRootAloneEscapedWithoutDeclarationOrWhitespace) {
    TempFolder folder;
    XmlDocument document;
    document.activate();
    document.childNodes().clear();
    XmlNode root = document.addChild("R");
    root.addChild("T").setText("a & b < c > d \"e\"");
    XmlNode row = root.addChild("row");
    row.setAttribute("Z", "1");
    row.setAttribute("A", "x&<\"y'");
    document.saveToFile(folder / "out.xml");
    const std::string saved = readFile(folder / "out.xml");
    EXPECT_EQ(
        saved.rfind("<R><T>a &amp; b &lt; c &gt; d \"e\"</T><row Z=\"1\" A=\"x&amp;&lt;&quot;y'\"",
                    0),
        0u)
        << saved;

    XmlDocument again;
    again.loadFromFile(folder / "out.xml");
    const XmlNode loaded = again.childNodes().first().childNodes().findNode("T");
    EXPECT_EQ(loaded.text(), "a & b < c > d \"e\"");
}

TEST(XmlDocument, EncodingAndLineEndsAreReadAsXmlSaysAndSurviveASave) {
    TempFolder folder;
    writeFile(folder / "doc.xml",
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<R a=\"x\r\ny\">"
              "<T>5\xB5s</T><L>one\r\ntwo\rthree</L><K>&#13;&#10;x</K></R>");
    XmlDocument document;
    document.loadFromFile(folder / "doc.xml");
    const XmlNodeList top = document.childNodes();
    EXPECT_EQ(top.first().name(), "xml");  // the declaration is a node
    const XmlNodeList children = top.findNode("R").childNodes();
    EXPECT_EQ(children.findNode("T").text(), "5\xC2\xB5s");  // held in UTF-8
    EXPECT_EQ(children.findNode("L").text(), "one\ntwo\nthree");
    EXPECT_EQ(children.findNode("K").text(), "\r\nx");

    document.saveToFile(folder / "out.xml");
    XmlDocument again;
    again.loadFromFile(folder / "out.xml");
    EXPECT_EQ(again.childNodes().first().name(), "R");
    EXPECT_EQ(again.childNodes().first().childNodes().findNode("T").text(), "5\xC2\xB5s");
    EXPECT_EQ(again.childNodes().first().childNodes().findNode("K").text(), "\r\nx");
}

TEST(XmlDocument, TextThatXmlCannotCarryIsRefusedAndNothingIsWritten) {
    TempFolder folder;
    writeFile(folder / "out.xml", "<old/>");
    XmlDocument document;
    document.addChild("R").addChild("T").setText(std::string("a\x01b"));
    EXPECT_THROW(document.saveToFile(folder / "out.xml"), AppError);
    EXPECT_EQ(readFile(folder / "out.xml"), "<old/>");

    // A name that is a name in ISO-8859-1 but not when written as UTF-8.
    writeFile(folder / "in.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R\xBA/>");
    XmlDocument latin;
    latin.loadFromFile(folder / "in.xml");
    EXPECT_THROW(latin.saveToFile(folder / "out.xml"), AppError);
    EXPECT_EQ(readFile(folder / "out.xml"), "<old/>");
}

TEST(XmlDocument, ActivatingAfterAFailedLoadGivesAnEmptyDocument) {
    TempFolder folder;
    writeFile(folder / "doc.xml", "<A><B>1</B></A>");
    writeFile(folder / "bad.xml", "<A>");
    XmlDocument document;
    document.loadFromFile(folder / "doc.xml");
    EXPECT_THROW(document.loadFromFile(folder / "bad.xml"), AppError);
    document.activate();
    EXPECT_TRUE(document.isActive());
    EXPECT_EQ(document.childNodes().count(), 0u);

    document.loadFromFile(folder / "doc.xml");
    document.activate();  // an active document keeps its content
    EXPECT_EQ(document.childNodes().count(), 1u);
}

TEST(XmlDocument, FailedSaveRaisesAndKeepsTheOldFile) {
    TempFolder folder;
    XmlDocument document;
    document.addChild("R");
    EXPECT_THROW(document.saveToFile(folder / "missing/out.xml"), AppError);
}

}  // namespace

namespace {

std::string utf16(const std::string& ascii, bool littleEndian) {
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char c : ascii) {
        out += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
    }
    return out;
}

std::string rootText(const std::string& path) {
    XmlDocument document;
    document.loadFromFile(path);
    return document.childNodes().findNode("R").text();
}

}  // namespace

TEST(XmlDocument, WindowsCodePagesReadAsTheirBytesMean) {
    TempFolder folder;
    struct Case {
        const char* encoding;
        std::string bytes;
        std::string utf8;
    };
    const Case cases[] = {
        {"windows-1252", "\x80 \xE9\x9F", "\u20AC \u00E9\u0178"},
        {"Windows-1250", "\x8A\xB9", "\u0160\u0105"},
        {"cp1251", "\xC0\xFF", "\u0410\u044F"},
        {"WINDOWS-1253", "\xC1\xF9", "\u0391\u03C9"},
        {"windows-1258", "\xD2", "\u0309"},
    };
    for (const Case& c : cases) {
        writeFile(folder / "cp.xml", std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding +
                                         "\"?>\r\n<R>" + c.bytes + "</R>");
        EXPECT_EQ(rootText(folder / "cp.xml"), c.utf8) << c.encoding;
    }
    // 0x81 means nothing in windows-1252.
    writeFile(folder / "cp.xml", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<R>a\x81</R>");
    EXPECT_EQ(loadError(folder / "cp.xml").substr(0, 20), "not well-formed (inv");
}

TEST(XmlDocument, ParseErrorQuotesItsLineDecodedAndCountsCharacters) {
    TempFolder folder;
    const std::string broken = "<R>" + std::string(50, 'x') + "</S>";
    struct Case {
        const char* name;
        std::string bytes;
        std::string quote;
    };
    const Case cases[] = {
        {"UTF-16LE", utf16("<R>\r\n" + broken, true), broken.substr(0, 40)},
        {"UTF-16BE", utf16("<R>\n" + broken, false), broken.substr(0, 40)},
        {"ISO-8859-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<R>" + std::string(45, '\xB5') + "</S>",
         "<R>" +
             [] {
                 std::string micro;
                 for (int i = 0; i < 37; ++i) micro += "\u00B5";
                 return micro;
             }()},
        {"windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<R>\x80</S>",
         "<R>\u20AC</S>"},
    };
    for (const Case& c : cases) {
        writeFile(folder / "bad.xml", c.bytes);
        const std::string message = loadError(folder / "bad.xml");
        EXPECT_EQ(message.substr(message.find("\nLine: ")), "\nLine: 2\n" + c.quote) << c.name;
    }
}

TEST(XmlDocument, HostileFilesAreRefusedAtOnce) {
    TempFolder folder;
    const std::string deep = folder / "deep.xml";
    std::string nested;
    for (int i = 0; i < 100000; ++i) nested += "<a>";
    writeFile(deep, nested);
    const std::string big = folder / "big.xml";
    writeFile(big, "<R>" + std::string(16u << 20, 'x') + "</R>");
    const std::string limit = folder / "limit.xml";
    struct Case {
        std::string path;
        std::string message;
    };
    std::vector<Case> cases = {
        {deep, "nesting deeper than 256 levels\nLine: 1\n" + nested.substr(0, 40)},
        {big, big + " is larger than 16 MiB"},
        {folder.path(), folder.path() + " is not a regular file"},
    };
#ifndef _WIN32
    std::filesystem::create_symlink("/dev/zero", folder / "zero.xml");
    mkfifo((folder / "fifo.xml").c_str(), 0600);
    cases.push_back({folder / "zero.xml", folder / "zero.xml" + " is not a regular file"});
    cases.push_back({folder / "fifo.xml", folder / "fifo.xml" + " is not a regular file"});
#endif
    // A device or a pipe is refused before it is read: reading one would never end.
    for (const Case& c : cases) EXPECT_EQ(loadError(c.path), c.message);
    // 256 levels are read.
    std::string deepest;
    for (int i = 0; i < 256; ++i) deepest += "<a>";
    for (int i = 0; i < 256; ++i) deepest += "</a>";
    writeFile(limit, deepest);
    XmlDocument document;
    EXPECT_NO_THROW(document.loadFromFile(limit));
}
