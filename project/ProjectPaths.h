#pragma once

#include <string>

#include "platform/FileSystem.h"

// What a project folder holds, by name: the one place that spells them.
inline constexpr const char* kGeneralParameterFile = "pargen.xml";
inline constexpr const char* kTranslateTableFile = "var.xml";
inline constexpr const char* kBinFolder = "bin";
inline constexpr const char* kImageFile = "bank.bin";
inline constexpr const char* kProjectLockFile = ".tarvel-lock";

// The paths of one project, joined with the platform's separator.
struct ProjectPaths {
    explicit ProjectPaths(const std::string& projectFolder)
        : folder(projectFolder),
          generalParameters(inside(kGeneralParameterFile)),
          translateTable(inside(kTranslateTableFile)),
          bin(inside(kBinFolder)),
          image(bin + platform::kPathSeparator + kImageFile),
          lock(inside(kProjectLockFile)) {}

    std::string folder;
    std::string generalParameters;
    std::string translateTable;
    std::string bin;
    std::string image;
    std::string lock;

  private:
    std::string inside(const char* name) const { return folder + platform::kPathSeparator + name; }
};
