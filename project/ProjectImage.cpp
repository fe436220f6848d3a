#include "project/ProjectImage.h"

#include "image/ParameterImage.h"
#include "project/ProjectLock.h"

std::string writeProjectImage(const ProjectLock&, const std::string& projectFolder,
                              XmlDocument& document, std::vector<std::string>* truncations) {
    const auto buffer = lockImageBuffer();
    BuildParameterImage(document, projectFolder, truncations);
    WriteParameterImage(projectFolder);
    return builtImageBytes();
}

std::unique_lock<std::mutex> lockImageBuffer() {
    static std::mutex buffer;
    return std::unique_lock<std::mutex>(buffer);
}

std::string builtImageBytes() {
    return std::string(reinterpret_cast<const char*>(ImageBuffer.data()),
                       static_cast<std::size_t>(ImageLength));
}
