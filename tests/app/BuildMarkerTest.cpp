#include <gtest/gtest.h>

#include <filesystem>

#include "app/BuildMarker.h"
#include "app/NewProject.h"
#include "platform/FileSystem.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kDay = 24 * 60 * 60;

BuildMarker markerOn(const std::string& host, const std::string& boot, std::int64_t created) {
    return {newBuildFolderName(), host, boot, 4242, 777, created, "Plant 1"};
}

TEST(BuildMarker, ReadsBackWhatItWritesAndNothingElse) {
    const BuildMarker marker = markerOfThisProcess(newBuildFolderName(), "Area/Plant 1");
    const auto read = parseBuildMarker(formatBuildMarker(marker));
    ASSERT_TRUE(read);
    EXPECT_EQ(formatBuildMarker(*read), formatBuildMarker(marker));
    EXPECT_EQ(read->processId, platform::currentProcessId());

    const std::string whole = formatBuildMarker(marker);
    for (const std::string& broken :
         {std::string(), whole.substr(0, whole.size() / 2), "x" + whole, whole + "pid=1\n",
          whole.substr(0, whole.find("folder=")) + "folder=.archive.new-2024\n"})
        EXPECT_FALSE(parseBuildMarker(broken)) << broken;
}

TEST(BuildMarker, OnlyABuildWhoseProcessIsGoneIsAbandoned) {
    const platform::HostIdentity here{"bench-1", "boot-a"};
    const std::int64_t now = 1000 * kDay;
    const auto running = [](unsigned long processId) -> std::optional<std::uint64_t> {
        if (processId == 4242)
            return 777;
        return std::nullopt;
    };
    const auto reused = [](unsigned long) -> std::optional<std::uint64_t> { return 999; };
    const auto gone = [](unsigned long) -> std::optional<std::uint64_t> { return std::nullopt; };
    const struct {
        const char* what;
        BuildMarker marker;
        StartTimeLookup startTime;
        bool abandoned;
    } cases[] = {
        {"this host, its process runs", markerOn("bench-1", "boot-a", now), running, false},
        {"this host, the process is gone", markerOn("bench-1", "boot-a", now), gone, true},
        {"this host, the id runs another process", markerOn("bench-1", "boot-a", now), reused,
         true},
        {"this host, an earlier boot", markerOn("bench-1", "boot-b", now), running, true},
        {"another host, an hour old", markerOn("bench-2", "boot-a", now - 3600), gone, false},
        {"another host, a day old", markerOn("bench-2", "boot-a", now - kDay - 1), gone, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isAbandonedBuild(c.marker, here, now, c.startTime), c.abandoned) << c.what;
}

// Clearing many abandoned builds is one pass over the folder, not minutes.
TEST(BuildMarker, ClearsThousandsOfAbandonedBuildsAndKeepsTheRest) {
    TempFolder projects;
    constexpr int kBuilds = 2000;
    for (int i = 0; i < kBuilds; ++i) {
        BuildMarker marker = markerOfThisProcess(newBuildFolderName(), std::to_string(i));
        marker.processId = 999999999;
        fs::create_directories(projects / (marker.folder + "/bin"));
        writeFile(projects / (marker.folder + "/" + kBuildMarkerName), formatBuildMarker(marker));
    }
    // Killed while its marker was written: the marker is cut short.
    const std::string cutShort = newBuildFolderName();
    fs::create_directory(projects / cutShort);
    writeFile(projects / (cutShort + "/" + kBuildMarkerName), "tarvel-build 1\nfol");
    // The same, but something else is in it: not ours to judge.
    const std::string notJudged = newBuildFolderName();
    fs::create_directory(projects / notJudged);
    writeFile(projects / (notJudged + "/" + kBuildMarkerName), "tarvel-build 1\nfol");
    writeFile(projects / (notJudged + "/keep"), "mine");
    fs::create_directory(projects / ".archive.new-2024");
    writeFile(projects / ".archive.new-2024/keep", "mine");
    ASSERT_TRUE(createProjectFolder(projects.path(), "Fresh", [](const std::string&) {}));
    EXPECT_EQ(platform::folderEntries(projects.path()).size(), 3u);
    EXPECT_EQ(readFile(projects / ".archive.new-2024/keep"), "mine");
    EXPECT_EQ(readFile(projects / (notJudged + "/keep")), "mine");
}

}  // namespace
