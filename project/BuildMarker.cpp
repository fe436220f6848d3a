#include "project/BuildMarker.h"

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
// Longer than any build takes to write its marker, however busy the machine.
constexpr std::int64_t kUnmarkedBuildLifetimeSeconds = 10 * 60;

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
    return {folder, platform::thisProcess(), secondsNow(), project};
}

std::string formatBuildMarker(const BuildMarker& marker) {
    return std::string(kMarkerHeader) + "\nfolder=" + marker.folder +
           "\nhost=" + marker.builder.host + "\nboot=" + marker.builder.boot +
           "\npid=" + std::to_string(marker.builder.processId) +
           "\nstart=" + platform::startText(marker.builder.start) +
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
    marker.builder.host = fields["host"];
    marker.builder.boot = fields["boot"];
    marker.project = fields["project"];
    const auto start = platform::parseStartText(fields["start"]);
    if (fields.size() != 7 || !isBuildFolderName(marker.folder) || marker.builder.host.empty() ||
        !parseNumber(fields["pid"], marker.builder.processId) || marker.builder.processId == 0 ||
        !start || !parseNumber(fields["created"], marker.created))
        return std::nullopt;
    marker.builder.start = *start;
    return marker;
}

bool isAbandonedBuild(const BuildMarker& marker, const std::string& thisHostName, std::int64_t now,
                      const LivenessLookup& liveness) {
    if (marker.builder.host != thisHostName)
        return now - marker.created > kOtherHostBuildLifetimeSeconds;
    return liveness(marker.builder) == platform::Liveness::Ended;
}

void clearAbandonedBuilds(const std::string& folder) {
    const std::string here = platform::thisHost().host;
    const std::int64_t now = secondsNow();
    for (const std::string& entry : platform::folderEntries(folder)) {
        if (!isBuildFolderName(entry))
            continue;
        const std::string build = folder + platform::kPathSeparator + entry;
        if (!platform::isPlainFolder(build))
            continue;
        const std::string markerPath = build + platform::kPathSeparator + kBuildMarkerName;
        const bool markerExists = platform::entryExists(markerPath);
        if (markerExists && !platform::isPlainFile(markerPath))
            continue;
        const auto text = markerExists ? platform::readFileContents(markerPath) : std::nullopt;
        const auto marker = text ? parseBuildMarker(*text) : std::nullopt;
        if (marker) {
            if (marker->folder == entry && isAbandonedBuild(*marker, here, now))
                platform::removeTree(build);
            continue;
        }
        const auto changed = platform::lastChangeSeconds(build);
        if (!changed || now - *changed < kUnmarkedBuildLifetimeSeconds)
            continue;
        if (!markerExists)
            platform::removeEmptyFolder(build);
        else if (platform::folderEntries(build) == std::vector<std::string>{kBuildMarkerName})
            platform::removeTree(build);
    }
}
