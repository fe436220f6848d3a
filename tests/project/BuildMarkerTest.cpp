#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FileSystem.h"
#include "project/BuildMarker.h"
#include "project/NewProject.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kDay = 24 * 60 * 60;

BuildMarker markerOn(const std::string& host, std::int64_t created) {
    return {newBuildFolderName(), {host, "boot-a", 4242, 777}, created, "Plant 1"};
}

TEST(BuildMarker, ReadsBackWhatItWritesAndNothingElse) {
    const BuildMarker marker = markerOfThisProcess(newBuildFolderName(), "Area/Plant 1");
    const auto read = parseBuildMarker(formatBuildMarker(marker));
    ASSERT_TRUE(read);
    EXPECT_EQ(formatBuildMarker(*read), formatBuildMarker(marker));
    EXPECT_EQ(read->builder.processId, platform::currentProcessId());
    // A start that could not be read is written so, and read back as unknown;
    // the 0 that older versions wrote for it means the same.
    BuildMarker unread = marker;
    unread.builder.start.reset();
    const std::string unknown = formatBuildMarker(unread);
    ASSERT_NE(unknown.find("\nstart=unknown\n"), std::string::npos);
    for (const std::string& text :
         {unknown, std::string(unknown).replace(unknown.find("start=unknown"), 13, "start=0")}) {
        const auto back = parseBuildMarker(text);
        ASSERT_TRUE(back) << text;
        EXPECT_FALSE(back->builder.start) << text;
    }

    const std::string whole = formatBuildMarker(marker);
    for (const std::string& broken :
         {std::string(), whole.substr(0, whole.size() / 2), "x" + whole, whole + "pid=1\n",
          whole.substr(0, whole.find("folder=")) + "folder=.archive.new-2024\n"})
        EXPECT_FALSE(parseBuildMarker(broken)) << broken;
}

TEST(BuildMarker, OnlyABuildWhoseProcessSurelyEndedIsAbandoned) {
    using platform::Liveness;
    const std::int64_t now = 1000 * kDay;
    const struct {
        const char* what;
        BuildMarker marker;
        Liveness liveness;
        bool abandoned;
    } cases[] = {
        {"this host, its process runs", markerOn("bench-1", now), Liveness::Running, false},
        {"this host, the process ended", markerOn("bench-1", now), Liveness::Ended, true},
        {"this host, cannot tell", markerOn("bench-1", now - kDay * 9), Liveness::Unknown, false},
        {"another host, an hour old", markerOn("bench-2", now - 3600), Liveness::Ended, false},
        {"another host, a day old", markerOn("bench-2", now - kDay - 1), Liveness::Running, true},
    };
    for (const auto& c : cases) {
        const auto lookup = [&](const platform::ProcessIdentity&) { return c.liveness; };
        EXPECT_EQ(isAbandonedBuild(c.marker, "bench-1", now, lookup), c.abandoned) << c.what;
    }
}

// Clearing many abandoned builds is one pass over the folder, not minutes.
TEST(BuildMarker, ClearsThousandsOfAbandonedBuildsAndKeepsTheRest) {
    TempFolder projects;
    constexpr int kBuilds = 2000;
    for (int i = 0; i < kBuilds; ++i) {
        BuildMarker marker = markerOfThisProcess(newBuildFolderName(), std::to_string(i));
        marker.builder.processId = 999999999;
        fs::create_directories(projects / (marker.folder + "/bin"));
        writeFile(projects / (marker.folder + "/" + kBuildMarkerName), formatBuildMarker(marker));
    }
    // Killed while its marker was written: the marker is cut short.
    const std::string cutShort = newBuildFolderName();
    fs::create_directory(projects / cutShort);
    writeFile(projects / (cutShort + "/" + kBuildMarkerName), "tarvel-build 1\nfol");
    makeOlder(projects / cutShort, 3600);
    // Being made right now by another process: its marker is not written yet.
    const std::string beingMade = newBuildFolderName();
    fs::create_directory(projects / beingMade);
    // The same, but something else is in it: not ours to judge.
    const std::string notJudged = newBuildFolderName();
    fs::create_directory(projects / notJudged);
    writeFile(projects / (notJudged + "/" + kBuildMarkerName), "tarvel-build 1\nfol");
    writeFile(projects / (notJudged + "/keep"), "mine");
    fs::create_directory(projects / ".archive.new-2024");
    writeFile(projects / ".archive.new-2024/keep", "mine");
    ASSERT_TRUE(createProjectFolder(projects.path(), "Fresh", [](const std::string&) {}));
    EXPECT_EQ(platform::folderEntries(projects.path()).size(), 4u);
    EXPECT_TRUE(fs::exists(projects / beingMade));
    EXPECT_EQ(readFile(projects / ".archive.new-2024/keep"), "mine");
    EXPECT_EQ(readFile(projects / (notJudged + "/keep")), "mine");
}

}  // namespace
