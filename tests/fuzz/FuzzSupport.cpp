#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

// Made on first use, removed with its content when the process ends.
struct OwnFolder {
    OwnFolder()
        : path(
              (std::filesystem::temp_directory_path() / ("tarvel-fuzz-" + std::to_string(getpid())))
                  .string()) {
        std::filesystem::create_directories(path);
    }
    ~OwnFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

}  // namespace

const std::string& fuzzFolder() {
    static const OwnFolder folder;
    return folder.path;
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void finding(const std::string& what) {
    std::fprintf(stderr, "FINDING: %s\n", what.c_str());
    std::abort();
}

std::vector<std::string> splitAtZero(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    return parts;
}
