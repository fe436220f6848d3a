#pragma once

#include <string>

// A fresh folder below the system's temporary folder, removed with its content
// at the end of the test.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    // The path of name in the folder, with the platform's separator.
    std::string operator/(const std::string& name) const;

  private:
    std::string path_;
};

// The path with each "/" as the platform's separator.
std::string native(std::string path);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
