#include "app/NewProject.h"

#include "app/FolderUtils.h"
#include "app/ProjectNames.h"
#include "documents/GeneralParameters.h"
#include "documents/TranslateTable.h"
#include "documents/XmlDocument.h"
#include "platform/FileSystem.h"

std::vector<std::string> newProjectRefusals(const std::string& destinationFolder,
                                            const std::string& name) {
    std::vector<std::string> refusals;
    if (destinationFolder.empty())
        refusals.emplace_back("directory destination not valid");
    if (name.empty())
        refusals.emplace_back("Name project not valid");
    if (!refusals.empty())
        return refusals;
    // A name may reach below an existing project, never outside the destination,
    // and must come back unchanged from the settings file on either platform.
    if (!isPortableProjectName(name))
        return {"Name project not valid"};
    if (FolderExists(newProjectCandidate(destinationFolder, name)))
        return {"Name project not valid because directory already exists"};
    return {};
}

std::string newProjectCandidate(const std::string& destinationFolder, const std::string& name) {
    return destinationFolder + "/" + name;
}

std::string projectFolderFor(const std::string& destinationFolder, const std::string& name) {
    return destinationFolder + platform::kPathSeparator + name;
}

void writeDefaultProjectDocuments(const std::string& projectFolder) {
    XmlDocument document;
    writeGeneralParameters(document, GeneralParameters{},
                           projectFolder + platform::kPathSeparator + "pargen.xml");
    writeTranslateTable(document, {}, projectFolder + platform::kPathSeparator + "var.xml");
}
