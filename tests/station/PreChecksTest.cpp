#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "station/Station.h"
#include "support/FakeSerialApi.h"
#include "support/TempFolder.h"

namespace {

// A face that keeps the steps and answers nothing: the checks come first.
class StepsFace final : public StationFace {
  public:
    std::string steps;
    void step(const std::string& text) override { steps += text + "\n"; }
    void tell(const std::string&, const std::string&) override {}
    void tellAboutFile(const std::string&, const std::string&) override {}
    Answer ask(Question) override { return Answer::Quit; }
    std::optional<std::string> askUnit() override { return std::nullopt; }
    bool quitWhileWaiting() override { return true; }
    void updaterRunning(std::uint32_t, const std::string&) override {}
    void updaterOutput(const std::string&) override {}
    void updaterEnded() override {}
    void verdict(bool) override {}
    void banner(const std::vector<std::pair<std::string, std::string>>&) override {}
    void rowOutcome(const std::string&, RowState) override {}
};

// A row whose project lost its document would be written with the image's
// head alone: the station refuses to start instead, and makes no log.
TEST(StationPreChecks, ARowWithoutItsDocumentStopsTheStationBeforeTheFirstStep) {
    TempFolder workspace;
    std::filesystem::create_directories(workspace / "MASTER");
    writeFile(workspace / "MASTER/sim40917.sim", "");
    std::filesystem::copy_file(FAKE_UPDATER, workspace / "Ser_40917_Update.exe");
    std::filesystem::create_directories(workspace / "PROJECTS/Line-1/bin");
    StationSettings settings;
    settings.workspaceRoot = workspace.path();
    settings.serial = std::make_shared<FakeSerialApi>();
    settings.logPath = workspace / "queue.audit.jsonl";
    settings.port = "COM3";
    settings.claimFolder = workspace.path();
    const std::vector<QueueRow> rows = {
        {2, "Line-1", workspace / "PROJECTS/Line-1", std::string("\x04\0\0\0", 4)}};
    StepsFace face;
    EXPECT_EQ(runStation(settings, rows, face), 1);
    EXPECT_EQ(face.steps,
              "Line-1 has no parameter document: " + workspace / "PROJECTS/Line-1/pargen.xml" +
                  " is missing\nThe station did not start: nothing was written.\n");
    EXPECT_FALSE(std::filesystem::exists(settings.logPath));
}

}  // namespace
