#include "image/ParameterImage.h"

#include <vector>

#include "common/AppError.h"
#include "common/IntegerText.h"
#include "documents/XmlDocument.h"
#include "platform/FileSystem.h"
#include "project/ProjectPaths.h"

std::array<std::uint8_t, kImageBufferSize> ImageBuffer{};
std::int32_t ImageLength = 0;

namespace {

constexpr std::uint32_t kHead = 4;
constexpr std::uint8_t kRs485LineType = 1;
constexpr std::uint8_t kDataBitsFallback = 3;  // eight data bits
constexpr std::uint8_t kStopBitsFallback = 0;  // one stop bit

class ImageWriter {
  public:
    ImageWriter(std::size_t cursor, std::vector<std::string>* truncations)
        : cursor_(cursor), truncations_(truncations) {}

    void putByte(std::int32_t value) { ImageBuffer[cursor_++] = static_cast<std::uint8_t>(value); }
    void putWord(std::int32_t value) {
        putByte(value & 0xFF);
        putByte((value >> 8) & 0xFF);
    }
    // An element's value, kept to its field's low 8 or 16 bits as the device
    // format has it; a value that does not fit is told.
    void putByte(const char* name, std::int32_t value, std::int32_t stored) {
        noteFit(name, value, static_cast<std::uint8_t>(stored), 0xFF);
        putByte(stored);
    }
    void putByte(const char* name, std::int32_t value) { putByte(name, value, value); }
    void putWord(const char* name, std::int32_t value) {
        noteFit(name, value, static_cast<std::uint16_t>(value), 0xFFFF);
        putWord(value);
    }
    std::size_t cursor() const { return cursor_; }

  private:
    void noteFit(const char* name, std::int32_t value, std::int32_t stored, std::int32_t largest) {
        if (truncations_ && (value < 0 || value > largest))
            truncations_->push_back(std::string(name) + " " + std::to_string(value) +
                                    " is stored as " + std::to_string(stored));
    }

    std::size_t cursor_;
    std::vector<std::string>* truncations_;
};

std::int32_t requiredValue(const XmlNode& root, const char* name, const std::string& path) {
    const XmlNode element = root.childNodes().findNode(name);
    if (element.isNone())
        throw AppError(std::string("The element ") + name + " is missing in " + path);
    return parseInteger(element.text());
}

// A framing element of an RS485 side: any failure gives its fall-back.
std::int32_t framingValue(const XmlNode& root, const char* name, std::uint8_t fallback) {
    try {
        const XmlNode element = root.childNodes().findNode(name);
        if (element.isNone())
            return fallback;
        return parseInteger(element.text());
    } catch (const AppError&) {
        return fallback;
    }
}

void putFramingPair(ImageWriter& image, const XmlNode& root, std::uint8_t lineType,
                    const char* dataName, const char* stopName) {
    if (lineType != kRs485LineType) {
        image.putByte(kDataBitsFallback);
        image.putByte(kStopBitsFallback);
        return;
    }
    image.putByte(dataName, framingValue(root, dataName, kDataBitsFallback));
    const std::int32_t stopBits = framingValue(root, stopName, kStopBitsFallback);
    // The device codes two stop bits as 2; the document's list position for them is 1.
    const auto stopByte = static_cast<std::uint8_t>(stopBits);
    image.putByte(stopName, stopBits, stopByte == 1 ? 2 : stopByte);
}

void putHead(ImageWriter& image) {
    image.putWord(kHead & 0xFFFF);
    image.putWord(kHead >> 16);
}

}  // namespace

void BuildParameterImage(XmlDocument& document, const std::string& projectFolder,
                         std::vector<std::string>* truncations) {
    ImageWriter head(0, nullptr);
    putHead(head);
    ImageLength = static_cast<std::int32_t>(head.cursor());
    const std::string path = ProjectPaths(projectFolder).generalParameters;
    // A folder or a dangling link in the document's place is an error, not "no document".
    if (!platform::entryExists(path))
        return;
    document.activate();
    document.loadFromFile(path);
    EncodeParameterImage(document, path, truncations);
}

void EncodeParameterImage(XmlDocument& document, const std::string& path,
                          std::vector<std::string>* truncations) {
    ImageWriter image(0, truncations);
    putHead(image);
    ImageLength = static_cast<std::int32_t>(image.cursor());
    // The first top-level node is the parameter root, whatever its name.
    const XmlNode root = document.childNodes().first();
    if (!root.isElement())
        throw AppError("The first node of " + path + " is not the parameter element");
    const auto put = [&](const char* name) {
        const std::int32_t value = requiredValue(root, name, path);
        image.putByte(name, value);
        return static_cast<std::uint8_t>(value);
    };
    const auto putWord = [&](const char* name) {
        image.putWord(name, requiredValue(root, name, path));
    };
    put("MODE_DEV");
    const std::uint8_t rtuLineType = put("SER_RTU");
    put("BAUD_RTU");
    put("PAR_RTU");
    putWord("TO_RTU");
    const std::uint8_t asciiLineType = put("SER_ASCII");
    put("BAUD_ASCII");
    put("PAR_ASCII");
    putWord("TO_ASCII");
    putFramingPair(image, root, rtuLineType, "DATA_RTU", "STOP_RTU");
    putFramingPair(image, root, asciiLineType, "DATA_ASCII", "STOP_ASCII");
    ImageLength = static_cast<std::int32_t>(image.cursor());
}

void WriteParameterImage(const std::string& projectFolder) {
    const std::string path = ProjectPaths(projectFolder).image;
    const std::string_view bytes(reinterpret_cast<const char*>(ImageBuffer.data()),
                                 static_cast<std::size_t>(ImageLength));
    std::string reason;
    if (!platform::replaceFileContents(path, bytes, &reason))
        throw AppError("Cannot write " + path + ": " + reason);
}
