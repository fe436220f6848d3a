#pragma once

#include <string>
#include <vector>

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

// Writes a new project's documents, with their default content, into
// projectFolder: pargen.xml with the default parameters and var.xml without
// rows. Raises an error when a document cannot be written.
void writeDefaultProjectDocuments(const std::string& projectFolder);
