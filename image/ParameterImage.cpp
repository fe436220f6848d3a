#include "image/ParameterImage.h"

#include "common/AppError.h"
#include "common/IntegerText.h"
#include "documents/XmlDocument.h"
#include "platform/FileSystem.h"

std::array<std::uint8_t, kImageBufferSize> ImageBuffer{};
std::int32_t ImageLength = 0;

namespace {

constexpr std::uint32_t kHead = 4;
constexpr std::uint8_t kRs485LineType = 1;
constexpr std::uint8_t kDataBitsFallback = 3;  // eight data bits
constexpr std::uint8_t kStopBitsFallback = 0;  // one stop bit

class ImageWriter {
  public:
    explicit ImageWriter(std::size_t cursor) : cursor_(cursor) {}

    void putByte(std::int32_t value) { ImageBuffer[cursor_++] = static_cast<std::uint8_t>(value); }
    void putWord(std::int32_t value) {
        putByte(value & 0xFF);
        putByte((value >> 8) & 0xFF);
    }
    std::size_t cursor() const { return cursor_; }

  private:
    std::size_t cursor_;
};

std::int32_t requiredValue(const XmlNode& root, const char* name, const std::string& path) {
    const XmlNode element = root.childNodes().findNode(name);
    if (element.isNone())
        throw AppError(std::string("The element ") + name + " is missing in " + path);
    return parseInteger(element.text());
}

// A framing element of an RS485 side: any failure gives its fall-back.
std::uint8_t framingValue(const XmlNode& root, const char* name, std::uint8_t fallback) {
    try {
        const XmlNode element = root.childNodes().findNode(name);
        if (element.isNone())
            return fallback;
        return static_cast<std::uint8_t>(parseInteger(element.text()));
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
    image.putByte(framingValue(root, dataName, kDataBitsFallback));
    const std::uint8_t stopBits = framingValue(root, stopName, kStopBitsFallback);
    // The device codes two stop bits as 2; the document's list position for them is 1.
    image.putByte(stopBits == 1 ? 2 : stopBits);
}

}  // namespace

void BuildParameterImage(XmlDocument& document, const std::string& projectFolder) {
    ImageLength = 4;
    ImageWriter image(0);
    image.putWord(kHead & 0xFFFF);
    image.putWord(kHead >> 16);

    const std::string path = projectFolder + platform::kPathSeparator + "pargen.xml";
    // A folder or a dangling link in the document's place is an error, not "no document".
    if (platform::entryExists(path)) {
        document.activate();
        document.loadFromFile(path);
        // The first top-level node is the parameter root, whatever its name.
        const XmlNode root = document.childNodes().first();
        if (!root.isElement())
            throw AppError("The first node of " + path + " is not the parameter element");
        image.putByte(requiredValue(root, "MODE_DEV", path));
        const auto rtuLineType = static_cast<std::uint8_t>(requiredValue(root, "SER_RTU", path));
        image.putByte(rtuLineType);
        image.putByte(requiredValue(root, "BAUD_RTU", path));
        image.putByte(requiredValue(root, "PAR_RTU", path));
        image.putWord(requiredValue(root, "TO_RTU", path));
        const auto asciiLineType =
            static_cast<std::uint8_t>(requiredValue(root, "SER_ASCII", path));
        image.putByte(asciiLineType);
        image.putByte(requiredValue(root, "BAUD_ASCII", path));
        image.putByte(requiredValue(root, "PAR_ASCII", path));
        image.putWord(requiredValue(root, "TO_ASCII", path));
        putFramingPair(image, root, rtuLineType, "DATA_RTU", "STOP_RTU");
        putFramingPair(image, root, asciiLineType, "DATA_ASCII", "STOP_ASCII");
    }
    ImageLength = static_cast<std::int32_t>(image.cursor());
}

void WriteParameterImage(const std::string& projectFolder) {
    const std::string separator(1, platform::kPathSeparator);
    const std::string path = projectFolder + separator + "bin" + separator + "bank.bin";
    const std::string_view bytes(reinterpret_cast<const char*>(ImageBuffer.data()),
                                 static_cast<std::size_t>(ImageLength));
    std::string reason;
    if (!platform::replaceFileContents(path, bytes, &reason))
        throw AppError("Cannot write " + path + ": " + reason);
}
