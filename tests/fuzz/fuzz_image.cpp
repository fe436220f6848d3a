// pargen.xml to image against a reference encoder written from the image
// layout: head 4 (32 bits), mode, RTU line, baud, parity, time-out (16 bits),
// ASCII line, baud, parity, time-out (16 bits), then the RTU and ASCII data
// and stop bits, read only for a side on line type 1 (fall-backs 3 and 0, a
// stop code 1 stored as 2), otherwise 3 and 0. Little-endian, low bits kept.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "common/AppError.h"
#include "documents/XmlDocument.h"
#include "image/ParameterImage.h"

namespace {

const char* const kNames[13] = {"MODE_DEV",   "SER_RTU",    "BAUD_RTU",  "PAR_RTU",    "DATA_RTU",
                                "STOP_RTU",   "TO_RTU",     "SER_ASCII", "BAUD_ASCII", "PAR_ASCII",
                                "DATA_ASCII", "STOP_ASCII", "TO_ASCII"};

// Reads the input a byte at a time, zero once it is used up.
class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t next() { return position_ < size_ ? data_[position_++] : 0; }
    std::int32_t next32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 8 | next();
        return static_cast<std::int32_t>(value);
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

std::string hexText(std::uint32_t value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value);
    return text;
}

// One element: absent, a number written some way, or a word.
struct Element {
    bool present = false;
    std::optional<std::int32_t> value;
    std::string text;
};

Element makeElement(Bytes& bytes) {
    Element element;
    const std::uint8_t choice = bytes.next();
    const std::int32_t small = static_cast<std::int8_t>(bytes.next());
    switch (choice % 6) {
        case 0:
            return element;
        case 1:
            element.value = small;
            element.text = std::to_string(small);
            break;
        case 2:
            element.value = bytes.next32();
            element.text = std::to_string(*element.value);
            break;
        case 3:
            element.value = bytes.next32();
            element.text = "  $" + hexText(static_cast<std::uint32_t>(*element.value));
            break;
        case 4:
            element.value = small < 0 ? -small : small;
            element.text = "+" + std::to_string(*element.value);
            break;
        default:
            element.text = small % 2 ? "one" : "";
            break;
    }
    element.present = true;
    return element;
}

std::vector<std::uint8_t> expectedImage(const std::array<Element, 13>& e) {
    const auto byte = [](std::int32_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
    std::vector<std::uint8_t> image = {4, 0, 0, 0};
    const auto put16 = [&](std::int32_t v) {
        image.push_back(byte(v));
        image.push_back(byte(v >> 8));
    };
    image.push_back(byte(*e[0].value));
    image.push_back(byte(*e[1].value));
    image.push_back(byte(*e[2].value));
    image.push_back(byte(*e[3].value));
    put16(*e[6].value);
    image.push_back(byte(*e[7].value));
    image.push_back(byte(*e[8].value));
    image.push_back(byte(*e[9].value));
    put16(*e[12].value);
    for (const auto [line, data, stop] : {std::array{1, 4, 5}, std::array{7, 10, 11}}) {
        if (byte(*e[line].value) != 1) {
            image.push_back(3);
            image.push_back(0);
            continue;
        }
        image.push_back(e[data].value ? byte(*e[data].value) : 3);
        const std::uint8_t stopCode = e[stop].value ? byte(*e[stop].value) : 0;
        image.push_back(stopCode == 1 ? 2 : stopCode);
    }
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes bytes(data, size);
    std::array<Element, 13> elements;
    for (Element& element : elements) element = makeElement(bytes);
    const std::uint8_t rotation = bytes.next() % 13;  // elements may stand in any order

    std::string xml = "<Root>";
    for (int k = 0; k < 13; ++k) {
        const int i = (k + rotation) % 13;
        if (elements[i].present)
            xml += std::string("<") + kNames[i] + ">" + elements[i].text + "</" + kNames[i] + ">";
    }
    xml += "</Root>";
    const std::string project = fuzzFolder() + "/project";
    std::filesystem::create_directories(project);
    writeBytes(project + "/pargen.xml", xml);

    bool complete = true;
    for (const int required : {0, 1, 2, 3, 6, 7, 8, 9, 12})
        complete = complete && elements[required].value.has_value();

    XmlDocument document;
    try {
        BuildParameterImage(document, project);
    } catch (const AppError&) {
        if (complete)
            finding("a complete document was refused: " + xml);
        if (ImageLength != 4)
            finding("a refused document left the image length at " + std::to_string(ImageLength));
        return 0;
    }
    if (!complete)
        finding("an incomplete document was taken: " + xml);
    const std::vector<std::uint8_t> built(ImageBuffer.begin(), ImageBuffer.begin() + ImageLength);
    if (built != expectedImage(elements))
        finding("the image differs from the layout for " + xml);
    return 0;
}
