#include <gtest/gtest.h>

#include <filesystem>

#include "project/FolderUtils.h"
#include "support/TempFolder.h"

namespace {

TEST(FolderExists, OnlyForExistingFolders) {
    TempFolder folder;
    writeFile(folder / "file", "x");
    EXPECT_TRUE(FolderExists(folder.path()));
    EXPECT_TRUE(FolderExists(folder.path() + "/"));
    EXPECT_FALSE(FolderExists(folder / "file"));
    EXPECT_FALSE(FolderExists(""));
    EXPECT_FALSE(FolderExists(folder / "missing"));
}

TEST(ForceFolder, CreatesMissingParentsAndAcceptsExistingOrShortPaths) {
    TempFolder folder;
    EXPECT_TRUE(ForceFolder(folder / "a/b/c/"));
    EXPECT_TRUE(FolderExists(folder / "a/b/c"));

    const auto before = std::filesystem::last_write_time(folder / "a/b");
    EXPECT_TRUE(ForceFolder(folder / "a/b"));
    EXPECT_EQ(std::filesystem::last_write_time(folder / "a/b"), before);

    EXPECT_TRUE(ForceFolder("ab"));  // too short to create anything
    EXPECT_FALSE(FolderExists("ab"));
    EXPECT_TRUE(ForceFolder("/"));
}

TEST(ForceFolder, FailsBelowAFile) {
    TempFolder folder;
    writeFile(folder / "file", "x");
    EXPECT_FALSE(ForceFolder(folder / "file/bin"));
}

}  // namespace
