#include "station/Records.h"

#include "common/Sha256.h"
#include "common/Version.h"
#include "platform/FileSystem.h"

Json stationIdentity() {
    const platform::ProcessIdentity self = platform::thisProcess();
    return {{"host", self.host},
            {"boot", self.boot},
            {"user", platform::currentUserName()},
            {"pid", self.processId},
            {"pidStart", startJson(self.start)},
            {"tool", std::string("tarvel-cli ") + kVersion}};
}

Json startJson(const std::optional<std::uint64_t>& start) {
    return start ? Json(*start) : Json(nullptr);
}

namespace {

std::optional<std::uint64_t> startOf(const Json& record, const char* key) {
    const Json start = record.value(key, Json());
    if (!start.is_number_unsigned() || start.get<std::uint64_t>() == 0)
        return std::nullopt;
    return start.get<std::uint64_t>();
}

}  // namespace

platform::ProcessIdentity processOf(const Json& record, const char* pidKey, const char* startKey) {
    return {record.value("host", ""), record.value("boot", ""), record.value(pidKey, 0UL),
            startOf(record, startKey)};
}

bool sameAttempt(const Json& a, const Json& b) {
    return a.value("host", "") == b.value("host", "") &&
           a.value("pid", 0UL) == b.value("pid", 0UL) &&
           a.value("pidStart", Json()) == b.value("pidStart", Json());
}

Json adapterJson(const std::optional<platform::SerialAdapter>& adapter) {
    if (!adapter)
        return nullptr;
    const auto part = [](const std::optional<std::string>& value) {
        return value ? Json(*value) : Json(nullptr);
    };
    return {{"vid", part(adapter->vendorId)},  {"pid", part(adapter->productId)},
            {"serial", part(adapter->serial)}, {"usbPath", part(adapter->usbPath)},
            {"byId", part(adapter->byId)},     {"description", part(adapter->description)}};
}

std::string fileDigest(const std::string& path) {
    const auto bytes = platform::readFileContents(path);
    return bytes ? sha256Hex(*bytes) : std::string();
}
