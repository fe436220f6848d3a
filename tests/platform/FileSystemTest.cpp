#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/FileSystem.h"
#include "support/PosixOnly.h"
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
    POSIX_ONLY_FROM_HERE("mode bits");
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

TEST(ReplaceFileContents, ALinkStaysALinkAndItsTargetIsWritten) {
    POSIX_ONLY_FROM_HERE("symbolic links");
    TempFolder folder;
    std::filesystem::create_directory(folder / "shared");
    writeFile(folder / "shared/pargen.xml", "old");
    std::filesystem::create_symlink("shared/pargen.xml", folder / "pargen.xml");
    std::filesystem::create_symlink(folder / "pargen.xml", folder / "chain.xml");
    ASSERT_TRUE(platform::replaceFileContents(folder / "chain.xml", "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "chain.xml"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "pargen.xml"));
    EXPECT_EQ(readFile(folder / "shared/pargen.xml"), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "shared"), {}), 1);

    std::filesystem::create_symlink(folder / "gone.xml", folder / "dangling.xml");
    std::string reason;
    EXPECT_FALSE(platform::replaceFileContents(folder / "dangling.xml", "new", &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "dangling.xml"));
    EXPECT_FALSE(std::filesystem::exists(folder / "gone.xml"));
}

TEST(ReadFileContents, AFailingReadIsAnErrorNeverAShortFile) {
    TempFolder folder;
    writeFile(folder / "big", std::string(300000, 'x'));
    EXPECT_EQ(platform::readFileContents(folder / "big")->size(), 300000u);
    std::filesystem::create_directory(folder / "dir");
    const auto refused = [](const std::string& path) {
        std::string reason;
        EXPECT_FALSE(platform::readFileContents(path, &reason)) << path;
        EXPECT_FALSE(reason.empty()) << path;
    };
    refused(folder / "dir");
    refused(folder / "missing");
    POSIX_ONLY_FROM_HERE("/proc");
    // Reading a process's own memory from offset 0 fails with an I/O error.
    std::filesystem::create_symlink("/proc/self/mem", folder / "failing");
    refused(folder / "failing");
}

}  // namespace
