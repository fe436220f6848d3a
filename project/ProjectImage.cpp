#include "project/ProjectImage.h"

#include "image/ParameterImage.h"
#include "project/ProjectLock.h"

std::string writeProjectImage(const ProjectLock&, const std::string& projectFolder,
                              XmlDocument& document, std::vector<std::string>* truncations) {
    BuildParameterImage(document, projectFolder, truncations);
    WriteParameterImage(projectFolder);
    return builtImageBytes();
}

std::string builtImageBytes() {
    return std::string(reinterpret_cast<const char*>(ImageBuffer.data()),
                       static_cast<std::size_t>(ImageLength));
}
