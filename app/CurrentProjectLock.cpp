#include "app/CurrentProjectLock.h"

#include "app/Workspace.h"
#include "common/AppError.h"
#include "common/Messages.h"

std::optional<ProjectLock> lockCurrentProject() {
    const Workspace& state = workspace();
    try {
        return ProjectLock(state.projectFolder, state.projectName);
    } catch (const AppError& e) {
        messages::showError(e.what());
        return std::nullopt;
    }
}
