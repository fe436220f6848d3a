#include "documents/TextEncodings.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

namespace {

constexpr char32_t kReplacement = 0xFFFD;
// How a document in UTF-16 without a byte order mark begins: "<?".
constexpr std::string_view kUtf16LEStart("<\0?\0", 4);
constexpr std::string_view kUtf16BEStart("\0<\0?", 4);

const std::pair<int, CodePageHighHalf> kWindowsCodePages[] = {
#include "documents/WindowsCodePages.inc"
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

enum class Encoding { Utf8, Utf16LE, Utf16BE, Latin1, CodePage };

// The value of the declaration's encoding pseudo-attribute, when the bytes
// begin with an ASCII-compatible declaration.
std::string_view declaredEncoding(std::string_view source) {
    if (source.substr(0, 5) != "<?xml")
        return {};
    const std::string_view declaration = source.substr(0, source.find("?>"));
    std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    at = declaration.find_first_of("\"'", at);
    if (at == std::string_view::npos)
        return {};
    const std::size_t end = declaration.find(declaration[at], at + 1);
    if (end == std::string_view::npos)
        return {};
    return declaration.substr(at + 1, end - at - 1);
}

// Hands out the code points of a document's bytes one at a time.
class Decoder {
  public:
    explicit Decoder(std::string_view source) : bytes_(source) {
        if (bytes_.substr(0, 3) == "\xEF\xBB\xBF") {
            bytes_.remove_prefix(3);
        } else if (bytes_.substr(0, 2) == "\xFF\xFE" || bytes_.substr(0, 4) == kUtf16LEStart) {
            encoding_ = Encoding::Utf16LE;
            if (bytes_[0] != '<')
                bytes_.remove_prefix(2);
        } else if (bytes_.substr(0, 2) == "\xFE\xFF" || bytes_.substr(0, 4) == kUtf16BEStart) {
            encoding_ = Encoding::Utf16BE;
            if (bytes_[0] != '\0')
                bytes_.remove_prefix(2);
        } else {
            const std::string_view name = declaredEncoding(bytes_);
            if (equalsIgnoringCase(name, "ISO-8859-1"))
                encoding_ = Encoding::Latin1;
            else if ((codePage_ = windowsCodePage(name)))
                encoding_ = Encoding::CodePage;
        }
    }

    bool atEnd() const { return bytes_.empty(); }

    char32_t next() {
        switch (encoding_) {
            case Encoding::Utf8:
                return nextUtf8();
            case Encoding::Utf16LE:
            case Encoding::Utf16BE:
                return nextUtf16();
            case Encoding::Latin1:
                return take();
            case Encoding::CodePage: {
                const unsigned char byte = take();
                if (byte < 0x80)
                    return byte;
                const int point = (*codePage_)[byte - 0x80];
                return point < 0 ? kReplacement : static_cast<char32_t>(point);
            }
        }
        return kReplacement;
    }

  private:
    unsigned char take() {
        const auto byte = static_cast<unsigned char>(bytes_.front());
        bytes_.remove_prefix(1);
        return byte;
    }

    char32_t nextUtf8() {
        const unsigned char lead = take();
        if (lead < 0x80)
            return lead;
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        if (length == 0 || lead > 0xF4 || bytes_.size() < static_cast<std::size_t>(length - 1))
            return kReplacement;
        char32_t point = lead & (0x7F >> length);
        for (int i = 1; i < length; ++i) {
            const auto byte = static_cast<unsigned char>(bytes_[static_cast<std::size_t>(i - 1)]);
            if ((byte & 0xC0) != 0x80)
                return kReplacement;
            point = (point << 6) | (byte & 0x3F);
        }
        bytes_.remove_prefix(static_cast<std::size_t>(length - 1));
        const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
        return point < smallest || point > 0x10FFFF || surrogate ? kReplacement : point;
    }

    char32_t unit() {
        if (bytes_.size() < 2) {
            bytes_ = {};
            return kReplacement;
        }
        const unsigned char first = take();
        const unsigned char second = take();
        return encoding_ == Encoding::Utf16LE ? first | (second << 8) : (first << 8) | second;
    }

    char32_t nextUtf16() {
        const char32_t high = unit();
        if (high < 0xD800 || high > 0xDFFF)
            return high;
        if (high > 0xDBFF || bytes_.size() < 2)
            return kReplacement;
        const std::string_view rest = bytes_;
        const char32_t low = unit();
        if (low < 0xDC00 || low > 0xDFFF) {
            bytes_ = rest;
            return kReplacement;
        }
        return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
    }

    std::string_view bytes_;
    Encoding encoding_ = Encoding::Utf8;
    const CodePageHighHalf* codePage_ = nullptr;
};

void appendUtf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

}  // namespace

const CodePageHighHalf* windowsCodePage(std::string_view encodingName) {
    for (const auto& [number, table] : kWindowsCodePages) {
        const std::string digits = std::to_string(number);
        if (equalsIgnoringCase(encodingName, "windows-" + digits) ||
            equalsIgnoringCase(encodingName, "cp" + digits))
            return &table;
    }
    return nullptr;
}

std::string documentLineText(const std::string& source, unsigned long line,
                             std::size_t maxCharacters) {
    Decoder decoder(source);
    unsigned long current = 1;
    std::string text;
    std::size_t characters = 0;
    bool afterCarriageReturn = false;
    while (!decoder.atEnd()) {
        const char32_t point = decoder.next();
        if (point == '\n' && afterCarriageReturn) {
            afterCarriageReturn = false;
            continue;
        }
        afterCarriageReturn = point == '\r';
        if (point == '\r' || point == '\n') {
            if (current++ == line)
                break;
            continue;
        }
        if (current == line && characters++ < maxCharacters)
            appendUtf8(text, point);
        if (current > line || characters > maxCharacters)
            break;
    }
    return text;
}
