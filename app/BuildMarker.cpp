#include "app/BuildMarker.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <sstream>

#include "platform/FileSystem.h"

namespace {

constexpr const char* kBuildFolderPrefix = ".tarvel-build-";
constexpr const char* kMarkerHeader = "tarvel-build 1";
constexpr std::size_t kRandomDigits = 16;
constexpr std::int64_t kOtherHostBuildLifetimeSeconds = 24 * 60 * 60;

std::int64_t secondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool isBuildFolderName(const std::string& name) {
    const std::string prefix = kBuildFolderPrefix;
    return name.size() == prefix.size() + kRandomDigits &&
           name.compare(0, prefix.size(), prefix) == 0 &&
           name.find_first_not_of("0123456789abcdef", prefix.size()) == std::string::npos;
}

template <typename Number>
bool parseNumber(const std::string& text, Number& value) {
    if (text.empty() || text.size() > 20 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    std::istringstream in(text);
    return static_cast<bool>(in >> value);
}

}  // namespace

std::string newBuildFolderName() {
    static std::mutex guard;
    static std::mt19937_64 generator{std::random_device{}()};
    const std::lock_guard<std::mutex> lock(guard);
    char digits[kRandomDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(generator()));
    return kBuildFolderPrefix + std::string(digits);
}

BuildMarker markerOfThisProcess(const std::string& folder, const std::string& project) {
    const platform::HostIdentity here = platform::thisHost();
    const unsigned long self = platform::currentProcessId();
    return {folder,       here.host, here.boot, self, platform::processStartTime(self).value_or(0),
            secondsNow(), project};
}

std::string formatBuildMarker(const BuildMarker& marker) {
    return std::string(kMarkerHeader) + "\nfolder=" + marker.folder + "\nhost=" + marker.host +
           "\nboot=" + marker.boot + "\npid=" + std::to_string(marker.processId) +
           "\nstart=" + std::to_string(marker.processStart) +
           "\ncreated=" + std::to_string(marker.created) + "\nproject=" + marker.project + "\n";
}

std::optional<BuildMarker> parseBuildMarker(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kMarkerHeader)
        return std::nullopt;
    std::map<std::string, std::string> fields;
    while (std::getline(lines, line)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos ||
            !fields.emplace(line.substr(0, equals), line.substr(equals + 1)).second)
            return std::nullopt;
    }
    BuildMarker marker;
    marker.folder = fields["folder"];
    marker.host = fields["host"];
    marker.boot = fields["boot"];
    marker.project = fields["project"];
    if (fields.size() != 7 || !isBuildFolderName(marker.folder) || marker.host.empty() ||
        !parseNumber(fields["pid"], marker.processId) || marker.processId == 0 ||
        !parseNumber(fields["start"], marker.processStart) ||
        !parseNumber(fields["created"], marker.created))
        return std::nullopt;
    return marker;
}

bool isAbandonedBuild(const BuildMarker& marker, const platform::HostIdentity& here,
                      std::int64_t now, const StartTimeLookup& startTime) {
    if (marker.host != here.host)
        return now - marker.created > kOtherHostBuildLifetimeSeconds;
    if (!platform::sameBoot(marker.boot, here.boot))
        return true;
    return startTime(marker.processId) != marker.processStart;
}

void clearAbandonedBuilds(const std::string& folder) {
    const platform::HostIdentity here = platform::thisHost();
    const std::int64_t now = secondsNow();
    for (const std::string& entry : platform::folderEntries(folder)) {
        if (!isBuildFolderName(entry))
            continue;
        const std::string build = folder + platform::kPathSeparator + entry;
        if (!platform::isPlainFolder(build))
            continue;
        const std::string markerPath = build + platform::kPathSeparator + kBuildMarkerName;
        if (!platform::entryExists(markerPath)) {
            platform::removeEmptyFolder(build);
            continue;
        }
        if (!platform::isPlainFile(markerPath))
            continue;
        const auto text = platform::readFileContents(markerPath);
        const auto marker = text ? parseBuildMarker(*text) : std::nullopt;
        if (marker ? marker->folder == entry &&
                         isAbandonedBuild(*marker, here, now, platform::processStartTime)
                   : platform::folderEntries(build) == std::vector<std::string>{kBuildMarkerName})
            platform::removeTree(build);
    }
}
