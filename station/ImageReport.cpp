#include "station/ImageReport.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "common/HexBytes.h"

namespace {

const std::vector<std::string> kLineItems = {"RS232", "RS485"};

struct Field {
    const char* name;
    std::uint32_t value;
    std::optional<std::string> meaning;
};

std::vector<Field> fieldsOf(const std::string& bytes) {
    const auto byte = [&](std::size_t offset) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset]));
    };
    const auto word = [&](std::size_t offset) { return byte(offset) | byte(offset + 1) << 8; };
    std::vector<Field> fields;
    if (bytes.size() < 4)
        return fields;
    fields.push_back({"head", byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24, {}});
    if (bytes.size() < 19)
        return fields;
    // The device codes two stop bits as 2.
    const auto stopMeaning = [](int code) -> std::optional<std::string> {
        if (code == 0)
            return "1";
        if (code == 2)
            return "2";
        return std::nullopt;
    };
    fields.insert(fields.end(), {{"mode", byte(4), itemAt(kModeItems, byte(4))},
                                 {"rtu.line", byte(5), itemAt(kLineItems, byte(5))},
                                 {"rtu.baud", byte(6), itemAt(kBaudRateItems, byte(6))},
                                 {"rtu.parity", byte(7), itemAt(kParityItems, byte(7))},
                                 {"rtu.timeout", word(8), "ms"},
                                 {"ascii.line", byte(10), itemAt(kLineItems, byte(10))},
                                 {"ascii.baud", byte(11), itemAt(kBaudRateItems, byte(11))},
                                 {"ascii.parity", byte(12), itemAt(kParityItems, byte(12))},
                                 {"ascii.timeout", word(13), "ms"},
                                 {"rtu.data", byte(15), itemAt(kDataBitsItems, byte(15))},
                                 {"rtu.stop", byte(16), stopMeaning(byte(16))},
                                 {"ascii.data", byte(17), itemAt(kDataBitsItems, byte(17))},
                                 {"ascii.stop", byte(18), stopMeaning(byte(18))}});
    return fields;
}

}  // namespace

const std::vector<std::string>& imageParameterNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const Field& field : fieldsOf(std::string(19, '\0')))
            if (std::string(field.name) != "head")
                all.push_back(field.name);
        return all;
    }();
    return names;
}

std::vector<std::string> imageParameterTexts(const std::string& bytes) {
    std::vector<std::string> texts;
    for (const Field& field : fieldsOf(bytes)) {
        if (std::string(field.name) == "head")
            continue;
        const bool unit = field.meaning && *field.meaning == "ms";
        texts.push_back(field.meaning && !unit ? *field.meaning : std::to_string(field.value));
    }
    texts.resize(imageParameterNames().size());
    return texts;
}

void printImage(std::ostream& out, const std::string& bytes) {
    out << hexBytes(bytes) << '\n';
    for (const Field& field : fieldsOf(bytes)) {
        out << field.name << ": " << field.value;
        if (field.meaning)
            out << " (" << *field.meaning << ")";
        out << '\n';
    }
}

Json imageJson(const std::string& bytes) {
    Json fields = Json::object();
    for (const Field& field : fieldsOf(bytes)) fields[field.name] = field.value;
    return Json{{"bytes", hexBytes(bytes)}, {"length", bytes.size()}, {"fields", fields}};
}
