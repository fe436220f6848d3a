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

// Sets a file's or a folder's time of last change so many seconds back.
void makeOlder(const std::string& path, int seconds);

// Makes a link at link leading to target, owned by another user (uid 12345),
// as a user who owns a project could plant it for a root run. False where
// this process may not give a file away (not root, or Windows): the caller
// skips.
bool makeAnotherUsersLink(const std::string& target, const std::string& link);
