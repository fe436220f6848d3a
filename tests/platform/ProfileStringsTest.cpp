#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

#include "platform/FileSystem.h"
#include "platform/ProfileStrings.h"
#include "support/PosixOnly.h"
#include "support/TempFolder.h"

namespace {

using platform::readProfileString;
using platform::writeProfileString;

TEST(ProfileStrings, ReadsWithCaseInsensitiveNamesAndTrimmedValue) {
    TempFolder folder;
    const std::string ini = folder / "Tarvel.ini";
    writeFile(ini, "[other]\nprojectname=wrong\n[LastProj]\n  ProjectName =  \\Plant 1  \r\n");
    EXPECT_EQ(readProfileString(ini, "lastproj", "projectname", "-"), "\\Plant 1");
}

TEST(ProfileStrings, FallbackForEveryMissingPiece) {
    TempFolder folder;
    const std::string ini = folder / "Tarvel.ini";
    const std::string contents[] = {
        "",                                              // empty file
        "[lastproj]\n",                                  // section without the key
        "[other]\nprojectname=x\n",                      // key in another section
        std::string("\x00\xff\x01[\x80=\n\x89PNG", 12),  // binary garbage
        "projectname=x\n",                               // key before any section
    };
    EXPECT_EQ(readProfileString(folder / "missing.ini", "lastproj", "projectname", "d"), "d");
    for (const std::string& content : contents) {
        writeFile(ini, content);
        EXPECT_EQ(readProfileString(ini, "lastproj", "projectname", "d"), "d");
    }
}

TEST(ProfileStrings, VeryLongValueIsReadWhole) {
    TempFolder folder;
    const std::string ini = folder / "Tarvel.ini";
    const std::string value(100000, 'a');
    writeFile(ini, "[lastproj]\nprojectname=" + value + "\n");
    EXPECT_EQ(readProfileString(ini, "lastproj", "projectname", ""), value);
}

TEST(ProfileStrings, WriteKeepsEveryOtherLineByteForByte) {
    struct Case {
        const char* before;
        const char* after;
    } cases[] = {
        // no file content: the section and key are created
        {"", "[lastproj]\nprojectname=\\Demo\n"},
        // the first matching key is replaced, other lines and sections untouched
        {"; note\r\n[A]\r\nx = 1\r\n[LASTPROJ]\r\nPROJECTNAME=old\r\nprojectname=second\r\n",
         "; note\r\n[A]\r\nx = 1\r\n[LASTPROJ]\r\nprojectname=\\Demo\r\nprojectname=second\r\n"},
        // the key is appended to its section, before the next one
        {"[lastproj]\nother=1\n\n[b]\ny=2\n",
         "[lastproj]\nother=1\nprojectname=\\Demo\n\n[b]\ny=2\n"},
        // the section is appended, after a last line without its line end
        {"[b]\ny=2", "[b]\ny=2\n[lastproj]\nprojectname=\\Demo\n"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string ini = folder / "Tarvel.ini";
        if (*c.before)
            writeFile(ini, c.before);
        ASSERT_TRUE(writeProfileString(ini, "lastproj", "projectname", "\\Demo"));
        EXPECT_EQ(readFile(ini), c.after);
        EXPECT_EQ(readProfileString(ini, "lastproj", "projectname", ""), "\\Demo");
    }
}

TEST(ProfileStrings, FailedWriteReportsFalseAndKeepsTheFile) {
    TempFolder folder;
    const std::string ini = folder / "Tarvel.ini";
    writeFile(ini, "[lastproj]\nprojectname=keep\n");
    chmod(ini.c_str(), 0444);
    EXPECT_FALSE(writeProfileString(ini, "lastproj", "projectname", "new"));
    EXPECT_EQ(readFile(ini), "[lastproj]\nprojectname=keep\n");

    EXPECT_FALSE(writeProfileString(folder / "no-such-folder/Tarvel.ini", "s", "k", "v"));
}

TEST(ProfileStrings, AFileThatCannotBeReadWholeIsNeverRewritten) {
    TempFolder folder;
    const auto refused = [&](const char* name) {
        EXPECT_FALSE(writeProfileString(folder / name, "lastproj", "projectname", "new")) << name;
        EXPECT_EQ(readProfileString(folder / name, "lastproj", "projectname", "fallback"),
                  "fallback");
    };
    std::filesystem::create_directory(folder / "folder.ini");
    refused("folder.ini");
    POSIX_ONLY_FROM_HERE("symbolic links and /proc");
    std::filesystem::create_symlink("/proc/self/mem", folder / "failing.ini");
    std::filesystem::create_symlink(folder / "gone.ini", folder / "dangling.ini");
    refused("failing.ini");
    refused("dangling.ini");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "dangling.ini"));
    EXPECT_FALSE(std::filesystem::exists(folder / "gone.ini"));
}

TEST(ProfileStrings, ALinkedSettingsFileStaysALink) {
    POSIX_ONLY_FROM_HERE("symbolic links");
    TempFolder folder;
    writeFile(folder / "real.ini", "; mine\n[lastproj]\nprojectname=old\n");
    std::filesystem::create_symlink("real.ini", folder / "Tarvel.ini");
    ASSERT_TRUE(writeProfileString(folder / "Tarvel.ini", "lastproj", "projectname", "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "Tarvel.ini"));
    EXPECT_EQ(readFile(folder / "real.ini"), "; mine\n[lastproj]\nprojectname=new\n");
}

}  // namespace

namespace {

TEST(ProfileStrings, AWriteClearsLeftoversOfKilledWritersOnly) {
    TempFolder folder;
    const std::string file = folder / "Tarvel.ini";
#ifdef _WIN32
    const std::string dead = "Tarvel.ini.tmp999999999-0-1";
    const std::string running =
        "Tarvel.ini.tmp" + std::to_string(platform::currentProcessId()) + "-0-1";
#else
    const std::string dead = ".Tarvel.ini.999999999-0";
    const std::string running =
        ".Tarvel.ini." + std::to_string(platform::currentProcessId()) + "-0";
#endif
    writeFile(folder / dead, "x");
    writeFile(folder / running, "x");
    ASSERT_TRUE(platform::writeProfileString(file, "lastproj", "projectname", "A"));
    EXPECT_FALSE(std::filesystem::exists(folder / dead));
    EXPECT_TRUE(std::filesystem::exists(folder / running));
}

}  // namespace
