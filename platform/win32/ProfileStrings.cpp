#include "platform/ProfileStrings.h"

#include <windows.h>

#include <vector>

namespace platform {

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback) {
    std::vector<char> buffer(65536);
    const DWORD length =
        GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                 static_cast<DWORD>(buffer.size()), file.c_str());
    return std::string(buffer.data(), length);
}

bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) !=
           0;
}

}  // namespace platform
