#include "documents/FileSnapshot.h"

#include "platform/FileSystem.h"

FileSnapshot takeFileSnapshot(const std::string& path) {
    FileSnapshot snapshot;
    snapshot.present = platform::entryExists(path);
    if (snapshot.present)
        snapshot.bytes = platform::readFileContents(path);
    return snapshot;
}
