// apply: many projects from one CSV file, in one process.
#include "cli/Cli.h"
#include "station/ImageReport.h"
#include "station/QueueApply.h"

namespace {

class CliNotices final : public QueueNotices {
  public:
    explicit CliNotices(Cli& cli) : cli_(cli) {}
    void tell(const std::string& project, const std::string& message) override {
        cli_.tell(project, message);
    }
    void tellAboutFile(const std::string& path, const std::string& message) override {
        cli_.tellAboutFile(path, message);
    }

  private:
    Cli& cli_;
};

QueueApplied apply(Cli& cli, const std::string& file) {
    CliNotices notices(cli);
    return applyQueueFile(cli.workspace.projectsFolder, file, cli.readFileOrInput(file), notices,
                          cli.environment.lockPause);
}

// What was applied, in the order of the file's rows, so that it can be held
// against the sheet; then what was not.
void printApplied(Cli& cli, const QueueApplied& applied) {
    if (cli.json()) {
        Json list = Json::array();
        for (const AppliedProject& entry : applied.applied)
            list.push_back({{"name", entry.name},
                            {"created", entry.state == AppliedProject::State::Created},
                            {"state", appliedWords(entry.state)},
                            {"image", imageJson(entry.image)["bytes"]}});
        cli.printJson({{"applied", list}, {"notApplied", applied.notApplied}});
    } else {
        for (const AppliedProject& entry : applied.applied)
            cli.out << appliedWords(entry.state) << ' ' << entry.name << '\n';
    }
}

}  // namespace

std::optional<std::vector<QueueRow>> applyQueue(Cli& cli, const std::string& file) {
    const QueueApplied applied = apply(cli, file);
    // A station says one line of counts, not a line for each row.
    if (applied.checked)
        cli.tellAboutFile(file, appliedCounts(applied));
    for (const std::string& name : applied.notApplied) cli.tell(name, "not applied");
    if (!applied.complete)
        return std::nullopt;
    return applied.rows;
}

int applyCommand(Cli& cli) {
    const std::string file = cli.arguments.operands(1).front();
    const QueueApplied applied = apply(cli, file);
    if (applied.checked)
        printApplied(cli, applied);
    for (const std::string& name : applied.notApplied) cli.tell(name, "not applied");
    return applied.complete ? 0 : 1;
}
