#include "project/ProjectImage.h"

#include "documents/XmlDocument.h"
#include "image/ParameterImage.h"
#include "platform/FileSystem.h"
#include "project/ProjectLock.h"
#include "project/ProjectPaths.h"

std::string writeProjectImage(const ProjectLock&, const std::string& projectFolder,
                              XmlDocument& document, std::vector<std::string>* truncations) {
    const auto buffer = lockImageBuffer();
    BuildParameterImage(document, projectFolder, truncations);
    WriteParameterImage(projectFolder);
    return builtImageBytes();
}

GeneralParameters readProjectParameters(XmlDocument& document, const std::string& projectFolder) {
    const std::string path = ProjectPaths(projectFolder).generalParameters;
    if (!platform::entryExists(path))
        return {};
    document.loadFromFile(path);
    return readGeneralParameters(document);
}

std::optional<std::string> imageAlreadyWritten(XmlDocument& document,
                                               const std::string& projectFolder) {
    const auto buffer = lockImageBuffer();
    try {
        EncodeParameterImage(document, ProjectPaths(projectFolder).generalParameters);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const std::string built = builtImageBytes();
    const auto written = platform::readFileContents(ProjectPaths(projectFolder).image);
    if (!written || *written != built)
        return std::nullopt;
    return built;
}

std::unique_lock<std::mutex> lockImageBuffer() {
    static std::mutex buffer;
    return std::unique_lock<std::mutex>(buffer);
}

std::string builtImageBytes() {
    return std::string(reinterpret_cast<const char*>(ImageBuffer.data()),
                       static_cast<std::size_t>(ImageLength));
}
