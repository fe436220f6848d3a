// apply: many projects from one CSV file, in one process.
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "cli/Cli.h"
#include "cli/Csv.h"
#include "cli/ImageReport.h"
#include "common/AppError.h"
#include "common/ReportText.h"
#include "common/ShortQuote.h"
#include "documents/TranslateTable.h"
#include "documents/XmlDocument.h"
#include "image/ParameterImage.h"
#include "platform/FileSystem.h"
#include "project/FolderUtils.h"
#include "project/NewProject.h"
#include "project/ProjectImage.h"
#include "project/ProjectLock.h"
#include "project/ProjectNames.h"
#include "project/ProjectPaths.h"

namespace {

// One row of the file, checked: its given cells, and what its project will
// hold if nobody changes it meanwhile.
struct Plan {
    std::size_t line;
    std::string name;
    std::string folder;
    bool exists;
    // The unit a station is to write this row into; never in the documents.
    std::string unit;
    std::vector<std::pair<std::string, std::string>> changes;
    GeneralParameters parameters;
    // The image of a project that holds the row's values and their image
    // already, found without its lock: such a project is left untouched.
    std::optional<std::string> imageUnchanged;
};

// The row's changes applied to parameters, then the checks a set makes; the
// first problem, or nothing.
std::optional<std::string> applyChanges(GeneralParameters& parameters, const Plan& plan) {
    for (const auto& [key, value] : plan.changes) {
        if (auto problem = applyParameter(parameters, key, value))
            return problem;
    }
    return timeoutProblem(parameters);
}

// The image of a project whose document (loaded into document) holds the
// row's values already, when its image matches; nothing otherwise. A project
// without its document gets one, even with the defaults.
std::optional<std::string> unchangedImage(XmlDocument& document, const std::string& projectFolder,
                                          const GeneralParameters& before,
                                          const GeneralParameters& after) {
    if (!document.isActive() || !(after == before) ||
        !platform::regularFileExists(ProjectPaths(projectFolder).generalParameters))
        return std::nullopt;
    return imageAlreadyWritten(document, projectFolder);
}

// The column a queue names each row's unit in.
constexpr const char* kUnitColumn = "unit";

// The column names: "name" first, then set's keys and unit, each once.
std::vector<std::string> columnsOf(const CsvRow& header) {
    if (header.cells.empty() || header.cells.front() != "name")
        throw CsvError{header.line, "the first column must be name"};
    std::set<std::string> seen;
    for (std::size_t i = 1; i < header.cells.size(); ++i) {
        const std::string& column = header.cells[i];
        if (!isParameterKey(column) && column != kUnitColumn)
            throw CsvError{header.line, "unknown column " + shortQuote(column)};
        if (!seen.insert(column).second)
            throw CsvError{header.line, "the column " + shortQuote(column) + " is given twice"};
    }
    return header.cells;
}

class Apply {
  public:
    // A station's apply says one line of counts, not a line for each row.
    Apply(Cli& cli, std::string file, bool countsOnly = false)
        : cli_(cli), file_(std::move(file)), countsOnly_(countsOnly) {}

    int run() {
        std::vector<CsvRow> rows;
        std::vector<std::string> columns;
        try {
            rows = parseCsv(cli_.readFileOrInput(file_));
            if (rows.empty())
                throw CsvError{1, "there is no header line"};
            columns = columnsOf(rows.front());
        } catch (const CsvError& e) {
            throw CliError::aboutFile(file_, "line " + std::to_string(e.line) + ": " + e.what());
        }
        std::vector<Plan> plans;
        std::set<std::string> names;
        bool refused = false;
        for (auto row = rows.begin() + 1; row != rows.end(); ++row) {
            try {
                plans.push_back(check(*row, columns, names));
            } catch (const std::exception& e) {
                cli_.tellAboutFile(file_, "line " + std::to_string(row->line) + ": " + e.what());
                refused = true;
            }
        }
        if (refused)
            return 1;
        const int status = write(plans);
        if (status == 0) {
            std::map<std::string, const std::string*> images;
            for (const Applied& entry : applied_) images[entry.name] = &entry.image;
            for (const Plan& plan : plans)
                rows_.push_back(
                    {plan.line, plan.name, plan.folder, *images.at(plan.name), plan.unit});
        }
        return status;
    }

    // Once run returned 0: every row, in the file's order.
    const std::vector<QueueRow>& rows() const { return rows_; }

  private:
    Plan check(const CsvRow& row, const std::vector<std::string>& columns,
               std::set<std::string>& names) const {
        if (row.cells.size() > columns.size())
            throw AppError("more cells than columns");
        const std::string& name = row.cells.front();
        const std::string& projects = cli_.workspace.projectsFolder;
        if (isProjectsFolderItself(name) || reachesIntoABinFolder(projects, name))
            throw AppError(shortQuote(name) + " is not a project");
        if (!isPortableProjectName(name))
            throw AppError("Name project not valid");
        if (!names.insert(name).second)
            throw AppError("the project " + shortQuote(name) + " is given twice");
        Plan plan{row.line, name, projectFolderFor(projects, name), false, {}, {}, {}, {}};
        plan.exists = FolderExists(plan.folder);
        // Read once here: a resumed queue of a thousand rows changes nothing,
        // and must not cost a lock and three reads a row.
        XmlDocument document;
        if (plan.exists) {
            refuseForeignLinks(plan.folder, name);
            plan.parameters = readProjectParameters(document, plan.folder);
        }
        const GeneralParameters before = plan.parameters;
        for (std::size_t i = 1; i < row.cells.size(); ++i) {
            if (columns[i] == kUnitColumn)
                plan.unit = row.cells[i];
            else if (!row.cells[i].empty())  // an empty cell leaves the value as it is
                plan.changes.emplace_back(columns[i], row.cells[i]);
        }
        if (const auto problem = applyChanges(plan.parameters, plan))
            throw AppError(*problem);
        std::vector<std::string> keys;
        for (const auto& change : plan.changes) keys.push_back(change.first);
        for (const std::string& warning : unsentFraming(plan.parameters, keys))
            cli_.tellAboutFile(file_, "line " + std::to_string(row.line) + ": " + warning);
        plan.imageUnchanged = unchangedImage(document, plan.folder, before, plan.parameters);
        return plan;
    }

    // New projects are built hidden, reach the disk together and then appear
    // one by one; existing ones are changed under their lock.
    int write(const std::vector<Plan>& plans) {
        std::vector<std::pair<const Plan*, std::unique_ptr<ProjectUnderConstruction>>> building;
        const Plan* current = nullptr;
        std::set<std::string> cleared;
        try {
            for (const Plan& plan : plans) {
                if (plan.exists)
                    continue;
                current = &plan;
                auto project = std::make_unique<ProjectUnderConstruction>(
                    cli_.workspace.projectsFolder, plan.name, &cleared);
                images_[plan.name] = writeNewProjectFiles(project->folder(), plan.parameters, true);
                building.emplace_back(&plan, std::move(project));
            }
            if (!building.empty())
                platform::syncFileSystem(cli_.workspace.projectsFolder);
            std::set<std::string> parents;
            // Another apply (a second station on the same queue) may have
            // made a project since the checks: it is changed as it stands.
            std::set<std::string> madeMeanwhile;
            for (auto& [plan, project] : building) {
                current = plan;
                if (!project->commit(false)) {
                    if (!FolderExists(plan->folder))
                        throw AppError(kProjectExistsMessage);
                    madeMeanwhile.insert(plan->name);
                    continue;
                }
                parents.insert(project->parent());
                applied_.push_back({plan->name, Applied::Created, images_[plan->name]});
            }
            for (const std::string& parent : parents) platform::syncFolder(parent);
            for (const Plan& plan : plans) {
                if (!plan.exists && !madeMeanwhile.count(plan.name))
                    continue;
                current = &plan;
                if (plan.imageUnchanged)
                    applied_.push_back({plan.name, Applied::Unchanged, *plan.imageUnchanged});
                else
                    changeUnderLock(plan);
            }
        } catch (const std::exception& e) {
            if (current)
                cli_.tell(current->name, reportText(e.what()));
            else
                cli_.tellAboutFile(file_, reportText(e.what()));
            summarize(plans);
            return 1;
        }
        summarize(plans);
        return refusedUnderLock_ ? 1 : 0;
    }

    // The row applied to what the project holds now, read under its lock, so
    // that a change made since the checks is kept, not undone.
    void changeUnderLock(const Plan& plan) {
        const ProjectLock lock(plan.folder, plan.name, kProjectLockWaitMs,
                               cli_.environment.lockPause);
        XmlDocument document;
        const GeneralParameters before = readProjectParameters(document, plan.folder);
        GeneralParameters parameters = before;
        if (const auto problem = applyChanges(parameters, plan)) {
            cli_.tellAboutFile(file_, "line " + std::to_string(plan.line) + ": " + *problem);
            refusedUnderLock_ = true;
            return;
        }
        if (const auto image = unchangedImage(document, plan.folder, before, parameters)) {
            applied_.push_back({plan.name, Applied::Unchanged, *image});
            return;
        }
        writeGeneralParameters(document, parameters, ProjectPaths(plan.folder).generalParameters);
        applied_.push_back(
            {plan.name, Applied::Changed, cli_.writeImage(lock, plan.folder, plan.name)});
    }

    // What was applied, in the order of the file's rows, so that it can be
    // held against the sheet; then what was not.
    void summarize(const std::vector<Plan>& plans) {
        std::map<std::string, const Applied*> byName;
        for (const Applied& entry : applied_) byName[entry.name] = &entry;
        std::vector<const Applied*> applied;
        std::vector<std::string> notApplied;
        for (const Plan& plan : plans) {
            const auto entry = byName.find(plan.name);
            if (entry == byName.end())
                notApplied.push_back(plan.name);
            else
                applied.push_back(entry->second);
        }
        if (countsOnly_) {
            std::size_t counts[3] = {};
            for (const Applied* entry : applied) ++counts[entry->state];
            cli_.tellAboutFile(
                file_, std::to_string(plans.size()) +
                           " rows: " + std::to_string(counts[Applied::Created]) + " created, " +
                           std::to_string(counts[Applied::Changed]) + " changed, " +
                           std::to_string(counts[Applied::Unchanged]) + " unchanged");
        } else if (cli_.json()) {
            Json list = Json::array();
            for (const Applied* entry : applied)
                list.push_back({{"name", entry->name},
                                {"created", entry->state == Applied::Created},
                                {"state", kStateWords[entry->state]},
                                {"image", imageJson(entry->image)["bytes"]}});
            cli_.printJson({{"applied", list}, {"notApplied", notApplied}});
        } else {
            for (const Applied* entry : applied)
                cli_.out << kStateWords[entry->state] << ' ' << entry->name << '\n';
        }
        for (const std::string& name : notApplied) cli_.tell(name, "not applied");
    }

    struct Applied {
        enum State { Created, Changed, Unchanged };
        std::string name;
        State state;
        std::string image;
    };
    static constexpr const char* kStateWords[] = {"created", "changed", "unchanged"};

    Cli& cli_;
    std::string file_;
    bool countsOnly_;
    std::map<std::string, std::string> images_;
    std::vector<Applied> applied_;
    bool refusedUnderLock_ = false;
    std::vector<QueueRow> rows_;
};

}  // namespace

std::optional<std::vector<QueueRow>> applyQueue(Cli& cli, const std::string& file) {
    Apply apply(cli, file, true);
    if (apply.run() != 0)
        return std::nullopt;
    return apply.rows();
}

int applyCommand(Cli& cli) {
    return Apply(cli, cli.arguments.operands(1).front()).run();
}
