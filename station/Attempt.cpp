#include "station/Attempt.h"

#include "documents/XmlDocument.h"
#include "project/ProjectImage.h"

WrittenImage writeImageForUpdater(const std::string& folder, const std::string& name,
                                  const platform::LockPause& pause) {
    WrittenImage image{ProjectLock(folder, name, kProjectLockWaitMs, pause), {}, {}};
    XmlDocument document;
    image.bytes = writeProjectImage(image.lock, folder, document, &image.truncations);
    return image;
}

RunOutcome runUpdater(const std::string& workspaceRoot, const std::string& port,
                      const UpdateOptions& options, const std::string& folder,
                      const WaitSettings& settings) {
    return runAndWait(updaterProgramPath(workspaceRoot),
                      updaterCommandLine(port, options, workspaceRoot, folder), false, settings);
}
