#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "documents/GeneralParameters.h"

inline constexpr const char* kProjectExistsMessage =
    "Name project not valid because directory already exists";

// The New project checks, in order, as the operator sees them: an empty
// destination folder and an empty name both say so; then a name that
// isPortableProjectName refuses, then a folder of that name that exists
// already. Empty when the project can be made.
std::vector<std::string> newProjectRefusals(const std::string& destinationFolder,
                                            const std::string& name);

// The folder New project makes: the destination folder, "/" and the name.
std::string newProjectCandidate(const std::string& destinationFolder, const std::string& name);

// The project folder as the workspace records it: the destination folder, the
// platform's separator and the name.
std::string projectFolderFor(const std::string& destinationFolder, const std::string& name);

// Writes a new project's files, each once, into folder, the project being
// built, which nobody else knows yet: pargen.xml with parameters, var.xml
// without rows and, withImage, bin/bank.bin built from that document. They
// reach the disk with the sync before the project appears. Returns the
// image's bytes, or nothing without one. Raises an error naming a file that
// cannot be written.
std::string writeNewProjectFiles(const std::string& folder, const GeneralParameters& parameters,
                                 bool withImage);

// A new project folder while it is built in a hidden build folder beside its
// place (see BuildMarker.h); abandoned builds there are cleared first. Goes
// with everything in it unless committed.
class ProjectUnderConstruction {
  public:
    // Makes the hidden folder and its bin folder, after clearing abandoned
    // builds beside it. A caller that builds many passes the folders it has
    // cleared already, so that each is listed once. Raises AppError "Cannot
    // create the project folder <path>: <reason>" or "The project <name>
    // could not be created: <reason>".
    ProjectUnderConstruction(const std::string& destinationFolder, const std::string& name,
                             std::set<std::string>* clearedFolders = nullptr);
    ~ProjectUnderConstruction();
    ProjectUnderConstruction(const ProjectUnderConstruction&) = delete;
    ProjectUnderConstruction& operator=(const ProjectUnderConstruction&) = delete;

    // The folder to write into, hidden in the build folder, and the folder
    // that will hold the project.
    const std::string& folder() const { return folder_; }
    const std::string& parent() const { return parent_; }

    // Renames the folder into place without replacing anything: false when
    // the name was taken meanwhile. Without sync, the caller syncs parent().
    bool commit(bool sync = true);

  private:
    std::string name_;
    std::string candidate_;
    std::string shownCandidate_;
    std::string parent_;
    std::string build_;   // the hidden build folder, with its marker
    std::string folder_;  // the project inside it
};

// Makes the project folder whole or not at all. The folder, its bin folder
// and what fill writes (into the folder it is given) are built in a hidden
// build folder beside the new folder, which is then renamed into place
// without replacing anything. Abandoned builds are cleared first. Returns false, leaving nothing
// behind, when the name was taken meanwhile. Raises AppError, leaving nothing behind: "Cannot
// create the project folder <path>: <reason>" when the folder itself cannot be made, and "The
// project <name> could not be created: <reason>" when filling it fails.
bool createProjectFolder(const std::string& destinationFolder, const std::string& name,
                         const std::function<void(const std::string& folder)>& fill);
