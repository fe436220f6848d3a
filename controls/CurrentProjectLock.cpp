#include "controls/CurrentProjectLock.h"

#include <QEventLoop>
#include <QTimer>

#include "common/AppError.h"
#include "common/Messages.h"
#include "controls/UserInputEater.h"
#include "project/Workspace.h"

std::optional<ProjectLock> lockCurrentProject() {
    const Workspace& state = workspace();
    // While another writer holds the project, the windows keep painting, and
    // what the operator does meanwhile is thrown away, as during an updater run.
    std::optional<UserInputEater> eater;
    const auto waitPainting = [&eater](unsigned milliseconds) {
        if (!eater)
            eater.emplace();
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(milliseconds), &loop, &QEventLoop::quit);
        loop.exec();
    };
    try {
        return ProjectLock(state.projectFolder, state.projectName, kProjectLockWaitMs,
                           waitPainting);
    } catch (const AppError& e) {
        eater.reset();
        messages::showError(e.what());
        return std::nullopt;
    }
}
