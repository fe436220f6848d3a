#include "station/QueueApply.h"

#include <map>
#include <memory>
#include <optional>
#include <set>

#include "common/AppError.h"
#include "common/Csv.h"
#include "common/ReportText.h"
#include "common/ShortQuote.h"
#include "documents/XmlDocument.h"
#include "platform/FileSystem.h"
#include "project/FolderUtils.h"
#include "project/NewProject.h"
#include "project/ProjectImage.h"
#include "project/ProjectLock.h"
#include "project/ProjectNames.h"
#include "project/ProjectPaths.h"
#include "station/ParameterKeys.h"

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

std::string lineText(std::size_t line) {
    return "line " + std::to_string(line) + ": ";
}

class Apply {
  public:
    Apply(const std::string& projectsFolder, const std::string& file, QueueNotices& notices,
          const platform::LockPause& lockPause)
        : projects_(projectsFolder), file_(file), notices_(notices), lockPause_(lockPause) {}

    QueueApplied run(const std::string& text) {
        std::vector<CsvRow> rows;
        std::vector<std::string> columns;
        try {
            rows = parseCsv(text);
            if (rows.empty())
                throw CsvError{1, "there is no header line"};
            columns = columnsOf(rows.front());
        } catch (const CsvError& e) {
            notices_.tellAboutFile(file_, lineText(e.line) + e.what());
            return {};
        }
        std::vector<Plan> plans;
        std::set<std::string> names;
        bool refused = false;
        for (auto row = rows.begin() + 1; row != rows.end(); ++row) {
            try {
                plans.push_back(check(*row, columns, names));
            } catch (const std::exception& e) {
                notices_.tellAboutFile(file_, lineText(row->line) + e.what());
                refused = true;
            }
        }
        if (refused)
            return {};
        QueueApplied result;
        result.checked = true;
        result.rowCount = plans.size();
        result.complete = write(plans);
        std::map<std::string, const AppliedProject*> byName;
        for (const AppliedProject& entry : applied_) byName[entry.name] = &entry;
        for (const Plan& plan : plans) {
            const auto entry = byName.find(plan.name);
            if (entry == byName.end()) {
                result.notApplied.push_back(plan.name);
                continue;
            }
            result.applied.push_back(*entry->second);
            if (result.complete)
                result.rows.push_back(
                    {plan.line, plan.name, plan.folder, entry->second->image, plan.unit});
        }
        return result;
    }

  private:
    Plan check(const CsvRow& row, const std::vector<std::string>& columns,
               std::set<std::string>& names) const {
        if (row.cells.size() > columns.size())
            throw AppError("more cells than columns");
        const std::string& name = row.cells.front();
        if (isProjectsFolderItself(name) || reachesIntoABinFolder(projects_, name))
            throw AppError(shortQuote(name) + " is not a project");
        if (!isPortableProjectName(name))
            throw AppError("Name project not valid");
        if (!names.insert(name).second)
            throw AppError("the project " + shortQuote(name) + " is given twice");
        Plan plan{row.line, name, projectFolderFor(projects_, name), false, {}, {}, {}, {}};
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
            notices_.tellAboutFile(file_, lineText(row.line) + warning);
        plan.imageUnchanged = unchangedImage(document, plan.folder, before, plan.parameters);
        return plan;
    }

    // New projects are built hidden, reach the disk together and then appear
    // one by one; existing ones are changed under their lock. True when
    // every row was applied.
    bool write(const std::vector<Plan>& plans) {
        std::vector<std::pair<const Plan*, std::unique_ptr<ProjectUnderConstruction>>> building;
        std::map<std::string, std::string> images;
        const Plan* current = nullptr;
        std::set<std::string> cleared;
        try {
            for (const Plan& plan : plans) {
                if (plan.exists)
                    continue;
                current = &plan;
                auto project =
                    std::make_unique<ProjectUnderConstruction>(projects_, plan.name, &cleared);
                images[plan.name] = writeNewProjectFiles(project->folder(), plan.parameters, true);
                building.emplace_back(&plan, std::move(project));
            }
            if (!building.empty())
                platform::syncFileSystem(projects_);
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
                applied_.push_back(
                    {plan->name, AppliedProject::State::Created, images[plan->name]});
            }
            for (const std::string& parent : parents) platform::syncFolder(parent);
            for (const Plan& plan : plans) {
                if (!plan.exists && !madeMeanwhile.count(plan.name))
                    continue;
                current = &plan;
                if (plan.imageUnchanged)
                    applied_.push_back(
                        {plan.name, AppliedProject::State::Unchanged, *plan.imageUnchanged});
                else
                    changeUnderLock(plan);
            }
        } catch (const std::exception& e) {
            if (current)
                notices_.tell(current->name, reportText(e.what()));
            else
                notices_.tellAboutFile(file_, reportText(e.what()));
            return false;
        }
        return !refusedUnderLock_;
    }

    // The row applied to what the project holds now, read under its lock, so
    // that a change made since the checks is kept, not undone.
    void changeUnderLock(const Plan& plan) {
        const ProjectLock lock(plan.folder, plan.name, kProjectLockWaitMs, lockPause_);
        XmlDocument document;
        const GeneralParameters before = readProjectParameters(document, plan.folder);
        GeneralParameters parameters = before;
        if (const auto problem = applyChanges(parameters, plan)) {
            notices_.tellAboutFile(file_, lineText(plan.line) + *problem);
            refusedUnderLock_ = true;
            return;
        }
        if (const auto image = unchangedImage(document, plan.folder, before, parameters)) {
            applied_.push_back({plan.name, AppliedProject::State::Unchanged, *image});
            return;
        }
        writeGeneralParameters(document, parameters, ProjectPaths(plan.folder).generalParameters);
        XmlDocument written;
        std::vector<std::string> truncations;
        const std::string image = writeProjectImage(lock, plan.folder, written, &truncations);
        for (const std::string& truncation : truncations) notices_.tell(plan.name, truncation);
        applied_.push_back({plan.name, AppliedProject::State::Changed, image});
    }

    const std::string& projects_;
    const std::string& file_;
    QueueNotices& notices_;
    const platform::LockPause& lockPause_;
    std::vector<AppliedProject> applied_;
    bool refusedUnderLock_ = false;
};

}  // namespace

const char* appliedWords(AppliedProject::State state) {
    switch (state) {
        case AppliedProject::State::Created:
            return "created";
        case AppliedProject::State::Changed:
            return "changed";
        case AppliedProject::State::Unchanged:
            break;
    }
    return "unchanged";
}

QueueApplied applyQueueFile(const std::string& projectsFolder, const std::string& file,
                            const std::string& text, QueueNotices& notices,
                            const platform::LockPause& lockPause) {
    return Apply(projectsFolder, file, notices, lockPause).run(text);
}

std::string appliedCounts(const QueueApplied& applied) {
    std::size_t counts[3] = {};
    for (const AppliedProject& entry : applied.applied) ++counts[static_cast<int>(entry.state)];
    return std::to_string(applied.rowCount) + " rows: " + std::to_string(counts[0]) + " created, " +
           std::to_string(counts[1]) + " changed, " + std::to_string(counts[2]) + " unchanged";
}
