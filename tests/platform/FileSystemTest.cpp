#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/AppendFile.h"
#include "platform/FileLock.h"
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

// Each entry is tried once, so that one held open elsewhere cannot keep the
// removal going; a link goes as itself, never what it leads to.
TEST(RemoveTree, TriesEachEntryOnceAndFollowsNoLink) {
    TempFolder folder;
    std::filesystem::create_directories(folder / "tree/sub/deeper");
    const std::string held = folder / "tree/sub/deeper/held.txt";
    writeFile(held, "h");
    writeFile(folder / "tree/a.txt", "a");
    std::filesystem::create_directory(folder / "outside");
    writeFile(folder / "outside/precious", "p");
#ifdef _WIN32
    const HANDLE open = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    platform::removeTree(folder / "tree");
    EXPECT_TRUE(std::filesystem::exists(held));
    EXPECT_FALSE(std::filesystem::exists(folder / "tree/a.txt"));
    CloseHandle(open);
#else
    std::filesystem::create_directory_symlink(folder / "outside", folder / "tree/link");
    platform::removeTree(folder / "tree");
    EXPECT_FALSE(std::filesystem::exists(folder / "tree"));
#endif
    EXPECT_EQ(readFile(folder / "outside/precious"), "p");
}

TEST(ReplaceFileContents, WritersInOneProcessNeverCollide) {
    TempFolder folder;
    const std::string file = folder / "bank.bin";
    std::atomic<int> failures = 0;
    const auto writer = [&](char fill) {
        for (int i = 0; i < 200; ++i) {
            if (!platform::replaceFileContents(file, std::string(64, fill)))
                ++failures;
        }
    };
    std::thread first(writer, 'a');
    std::thread second(writer, 'b');
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0);
    const std::string last = readFile(file);
    EXPECT_TRUE(last == std::string(64, 'a') || last == std::string(64, 'b'));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

#ifdef _WIN32
TEST(ReplaceFileContents, AFileHeldOpenElsewhereIsReportedAndKept) {
    TempFolder folder;
    const std::string file = folder / "pargen.xml";
    writeFile(file, "old");
    const HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string reason;
    EXPECT_FALSE(platform::replaceFileContents(file, "new", &reason));
    EXPECT_EQ(reason, "another program holds the file open");
    CloseHandle(held);
    EXPECT_EQ(readFile(file), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}
#endif

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

#ifndef _WIN32
// Every way of opening goes one folder at a time: another user's link
// anywhere on the way is refused, whatever was checked before, and nothing
// is read, made or written through it. One's own link is followed.
TEST(FileSystemWalk, NoOpenGoesThroughAnotherUsersLink) {
    TempFolder folder;
    const std::string real = folder / "real";
    std::filesystem::create_directory(real);
    writeFile(real + "/pargen.xml", "precious");
    if (!makeAnotherUsersLink(real, folder / "theirs"))
        GTEST_SKIP() << "only root gives a link to another user";
    std::filesystem::create_directory_symlink(real, folder / "mine");
    const auto opens = [](const std::string& inside, std::string& reason) {
        std::vector<bool> done;
        done.push_back(platform::readFileContents(inside + "/pargen.xml", &reason).has_value());
        done.push_back(platform::replaceFileContents(inside + "/pargen.xml", "x", &reason));
        done.push_back(platform::writeNewFile(inside + "/new.xml", "x", &reason));
        done.push_back(platform::createFolder(inside + "/bin", &reason));
        done.push_back(platform::lockFile(inside + "/.tarvel-lock", 0).lock != nullptr);
        std::string appendReason;
        done.push_back(platform::AppendFile::open(inside + "/log", appendReason) != nullptr);
        return done;
    };
    std::string reason;
    EXPECT_EQ(opens(folder / "theirs", reason), std::vector<bool>(6, false));
    EXPECT_EQ(reason, folder / "theirs" + " is a link that another user made");
    EXPECT_EQ(readFile(real + "/pargen.xml"), "precious");
    EXPECT_EQ(platform::folderEntries(real), std::vector<std::string>{"pargen.xml"});
    EXPECT_EQ(opens(folder / "mine", reason), std::vector<bool>(6, true));
}
#endif

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
