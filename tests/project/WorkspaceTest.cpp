#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "common/AppError.h"
#include "platform/FileSystem.h"
#include "project/FolderUtils.h"
#include "project/ProjectLock.h"
#include "project/ProjectPaths.h"
#include "project/Workspace.h"
#include "support/Environment.h"
#include "support/PosixOnly.h"
#include "support/TempFolder.h"

namespace {

const std::string kBase = "Mirelo Tarvel SW40917 MudbusRTU / ModbusASCII";

TEST(WorkspaceSetUp, FirstRunCreatesFoldersAndHasNoProject) {
    TempFolder root;
    Workspace state;
    EXPECT_EQ(setUpWorkspace(state, root.path()), kBase);
    EXPECT_TRUE(FolderExists(root / "MASTER"));
    EXPECT_TRUE(FolderExists(root / "PROJECTS"));
    EXPECT_EQ(state.masterFolder, root / "MASTER");
    EXPECT_EQ(state.projectsFolder, root / "PROJECTS");
    EXPECT_EQ(state.projectName, "");
    EXPECT_EQ(state.projectFolder, state.projectsFolder);
    EXPECT_EQ(state.generalParameterPath, root / "PROJECTS/pargen.xml");
    EXPECT_EQ(state.translateTablePath, root / "PROJECTS/var.xml");

    saveLastProject(state);
    EXPECT_EQ(readFile(root / "Tarvel.ini"), "[lastproj]\nprojectname=\n");
}

TEST(WorkspaceSetUp, RestoresTheRememberedProject) {
    struct Case {
        const char* stored;
        const char* name;
    } cases[] = {{"Plant1", "/Plant1"}, {"/Plant1", "/Plant1"}, {"Area/Plant1", "/Area/Plant1"}};
    for (const Case& c : cases) {
        TempFolder root;
        std::filesystem::create_directories(root / "PROJECTS/Area/Plant1");
        std::filesystem::create_directories(root / "PROJECTS/Plant1");
        writeFile(root / "Tarvel.ini", "[lastproj]\nprojectname=" + native(c.stored) + "\n");
        Workspace state;
        EXPECT_EQ(setUpWorkspace(state, root.path()), kBase + " : " + native(c.name));
        EXPECT_EQ(state.projectName, native(c.name));
        EXPECT_EQ(state.projectFolder, root / "PROJECTS" + native(c.name));
        EXPECT_EQ(state.generalParameterPath, state.projectFolder + native("/pargen.xml"));
    }
}

TEST(WorkspaceSetUp, DeletedProjectIsNotCurrentButWrittenBackUnchanged) {
    TempFolder root;
    writeFile(root / "Tarvel.ini", "; mine\n[lastproj]\nprojectname=Gone\n");
    Workspace state;
    EXPECT_EQ(setUpWorkspace(state, root.path()), kBase);
    EXPECT_EQ(state.projectName, native("/Gone"));
    EXPECT_EQ(state.projectFolder, state.projectsFolder);
    saveLastProject(state);
    EXPECT_EQ(readFile(root / "Tarvel.ini"),
              "; mine\n[lastproj]\nprojectname=" + native("/Gone") + "\n");
}

TEST(WorkspaceSetUp, ARememberedNameLeadingOutsideTheProjectsIsNotCurrent) {
    for (const std::string name : {"../Outside", "/..", "Plant/../../Outside", "\\..\\Outside"}) {
        TempFolder root;
        std::filesystem::create_directories(root / "PROJECTS/Plant");
        std::filesystem::create_directories(root / "Outside");
        writeFile(root / "Tarvel.ini", "[lastproj]\nprojectname=" + name + "\n");
        Workspace state;
        EXPECT_EQ(setUpWorkspace(state, root.path()), kBase) << name;
        EXPECT_EQ(state.projectFolder, state.projectsFolder) << name;
        saveLastProject(state);
        const std::string written =
            name.front() == platform::kPathSeparator ? name : platform::kPathSeparator + name;
        EXPECT_EQ(readFile(root / "Tarvel.ini"), "[lastproj]\nprojectname=" + written + "\n");
    }
}

TEST(WorkspaceSetUp, BadSettingsFilesStartWithoutAProject) {
    const std::string contents[] = {"", std::string("\0\x01\xfe[[=]\n\x80", 9), "[lastproj]\n",
                                    "[lastproj]\nprojectname=" + std::string(70000, 'z') + "\n"};
    for (const std::string& content : contents) {
        TempFolder root;
        writeFile(root / "Tarvel.ini", content);
        Workspace state;
        EXPECT_EQ(setUpWorkspace(state, root.path()), kBase);
        EXPECT_EQ(state.projectFolder, state.projectsFolder);
    }
}

TEST(WorkspaceSetUp, UnwritableWorkspaceStillStarts) {
    TempFolder base;
    Workspace state;
    EXPECT_EQ(setUpWorkspace(state, base / "missing/root"), kBase);
    EXPECT_FALSE(FolderExists(state.masterFolder));
    EXPECT_EQ(state.projectFolder, base / "missing/root/PROJECTS");
    try {
        saveLastProject(state);
        FAIL() << "the write cannot succeed";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + base / "missing/root/Tarvel.ini");
    }
}

TEST(OpenProjectName, IsTheTailAfterTheProjectsFolder) {
    Workspace state;
    state.projectsFolder = "/w/PROJECTS";
    struct Case {
        const char* folder;
        const char* name;
    } cases[] = {
        {"/w/PROJECTS/A/B", "/A/B"}, {"/w/PROJECTS", ""}, {"", ""}, {"/w/PROJECTS/X", "/X"}};
    for (const Case& c : cases) {
        state.projectFolder = c.folder;
        EXPECT_EQ(projectNameFromFolder(state), c.name) << c.folder;
    }
    EXPECT_EQ(captionForProject("/A/B"), kBase + " :/A/B");
    EXPECT_EQ(captionForProject(""), kBase + " :");
}

}  // namespace

namespace {

TEST(ProjectLock, ASecondWriterWaitsThenHearsTheProjectIsBusy) {
    TempFolder project;
    const auto first = std::make_unique<ProjectLock>(project.path(), "/Plant 1");
    int pauses = 0;
    try {
        ProjectLock second(project.path(), "/Plant 1", 200, [&](unsigned ms) {
            ++pauses;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        });
        FAIL() << "a second lock while the first is held";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "Project Plant 1 is busy: another program is writing it.");
    }
    EXPECT_GT(pauses, 0);  // it waited before it gave up
    const TempFolder other;
    EXPECT_NO_THROW(ProjectLock(other.path(), "Other"));  // another project is free
}

TEST(ProjectLock, TakingItClearsWhatInterruptedWritesLeft) {
    TempFolder project;
    std::filesystem::create_directory(project / "bin");
#ifdef _WIN32
    const std::vector<std::string> ours = {"pargen.xml.tmp12-0-99", "var.xml.tmp7-1-5"};
    const std::vector<std::string> oursInBin = {"bank.bin.tmp12-0-99"};
#else
    const std::vector<std::string> ours = {".pargen.xml.4242-0", ".var.xml.Ab3xYz"};
    const std::vector<std::string> oursInBin = {".bank.bin.99999-3"};
#endif
    const std::vector<std::string> others = {".notes.backup", "pargen.xml", ".pargen.xml.old",
                                             "bank.bin.tmp"};
    for (const auto& name : ours) writeFile(project / name, "x");
    for (const auto& name : others) writeFile(project / name, "keep");
    for (const auto& name : oursInBin) writeFile(project / ("bin/" + name), "x");
    ProjectLock lock(project.path(), "P");
    for (const auto& name : ours) EXPECT_FALSE(std::filesystem::exists(project / name)) << name;
    for (const auto& name : oursInBin)
        EXPECT_FALSE(std::filesystem::exists(project / ("bin/" + name))) << name;
    for (const auto& name : others) EXPECT_TRUE(std::filesystem::exists(project / name)) << name;
    EXPECT_TRUE(std::filesystem::exists(ProjectPaths(project.path()).lock));
}

}  // namespace

namespace {

// Installed (the marker the install rules alone put beside the program's
// folder), the workspace is the user's; otherwise beside the program.
TEST(WorkspaceRoot, BesideTheProgramUnlessInstalled) {
    TempFolder prefix;
    const std::string bin = prefix / "bin";
    std::filesystem::create_directories(bin);
    EXPECT_EQ(workspaceRootFor(bin), bin);

    POSIX_ONLY_FROM_HERE("the marker exists only in the Linux packages");
    std::filesystem::create_directories(prefix / "share/tarvel");
    writeFile(prefix / "share/tarvel/installed", "");
    TempFolder home;
    setEnvironment("HOME", home.path());
    setEnvironment("XDG_DATA_HOME", home / "data");
    EXPECT_EQ(workspaceRootFor(bin), home / "data/Tarvel");
    EXPECT_FALSE(std::filesystem::exists(home / "data/Tarvel"));  // made when prepared
    setEnvironment("XDG_DATA_HOME", "relative/data");             // to be ignored
    EXPECT_EQ(workspaceRootFor(bin), home / ".local/share/Tarvel");
    clearEnvironment("XDG_DATA_HOME");
    EXPECT_EQ(workspaceRootFor(bin), home / ".local/share/Tarvel");
}

}  // namespace
