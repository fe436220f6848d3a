#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/FileSystem.h"
#include "support/TempFolder.h"

namespace {

TEST(ReplaceFileContents, CreatesAndReplacesWithoutLeavingTemporaryFiles) {
    TempFolder folder;
    const std::string file = folder / "bank.bin";
    ASSERT_TRUE(platform::replaceFileContents(file, std::string("\x04\0\0\0", 4)));
    EXPECT_EQ(readFile(file), std::string("\x04\0\0\0", 4));
    ASSERT_TRUE(platform::replaceFileContents(file, "ab"));
    EXPECT_EQ(readFile(file), "ab");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(ReplaceFileContents, KeepsThePermissionsOfTheOldFile) {
    TempFolder folder;
    const std::string file = folder / "a.xml";
    writeFile(file, "old");
    chmod(file.c_str(), 0640);
    ASSERT_TRUE(platform::replaceFileContents(file, "new"));
    struct stat info {};
    stat(file.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(ReplaceFileContents, FailureLeavesTheOldFileAndSaysWhy) {
    TempFolder folder;
    const std::string readOnly = folder / "pargen.xml";
    writeFile(readOnly, "old");
    chmod(readOnly.c_str(), 0444);
    std::filesystem::create_directory(folder / "dir");
    const std::string targets[] = {readOnly, folder / "missing/bank.bin", folder / "dir"};
    for (const std::string& target : targets) {
        std::string reason;
        EXPECT_FALSE(platform::replaceFileContents(target, "new", &reason)) << target;
        EXPECT_FALSE(reason.empty());
    }
    EXPECT_EQ(readFile(readOnly), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

}  // namespace
