#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/ProcessIdentity.h"

// A project is built in a hidden folder beside its place and renamed into
// place when whole. The folder holds, before anything else, this marker: who
// builds it, so that the folders of builds that were killed are cleared, and
// nothing else ever is, whatever its name.
struct BuildMarker {
    std::string folder;  // the build folder's own name
    platform::ProcessIdentity builder;
    std::int64_t created = 0;  // seconds since 1970, UTC
    std::string project;
};

// The marker's file name inside a build folder.
inline constexpr const char* kBuildMarkerName = ".tarvel-build";

// A new, unused build folder name: the prefix and 16 random hex digits.
std::string newBuildFolderName();

// The marker of a build of project in folder by this process, now.
BuildMarker markerOfThisProcess(const std::string& folder, const std::string& project);

std::string formatBuildMarker(const BuildMarker& marker);
// Nothing for text that is not a whole marker.
std::optional<BuildMarker> parseBuildMarker(const std::string& text);

using LivenessLookup = std::function<platform::Liveness(const platform::ProcessIdentity&)>;

// Whether the build has been abandoned: on this host, its process has surely
// ended (a process that may still run keeps its build); on another host, it
// began more than 24 hours ago.
bool isAbandonedBuild(const BuildMarker& marker, const std::string& thisHostName, std::int64_t now,
                      const LivenessLookup& liveness = platform::liveness);

// Removes the abandoned builds in folder: those with a valid marker that
// isAbandonedBuild judges so, and folders of a build name that hold nothing
// or only a marker that is not whole, which a build killed before or while
// its marker was written leaves, once they are some minutes old: younger,
// they may be a build whose marker is being written right now.
void clearAbandonedBuilds(const std::string& folder);
