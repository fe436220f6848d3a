#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "documents/TextEncodings.h"

namespace {

// The code point iconv gives a single byte, or -1 where it refuses the byte.
int iconvCodePoint(const std::string& page, unsigned char byte) {
    const iconv_t converter = iconv_open("UTF-32LE", page.c_str());
    EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1)) << page;
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[8] = {};
    char* inPointer = in;
    char* outPointer = reinterpret_cast<char*>(out);
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    const bool converted =
        iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) !=
            static_cast<std::size_t>(-1) &&
        iconv(converter, nullptr, nullptr, &outPointer, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    if (!converted || sizeof out - outLeft != 4)
        return -1;
    return out[0] | (out[1] << 8) | (out[2] << 16) | (out[3] << 24);
}

TEST(WindowsCodePages, TheCommittedTablesAreWhatIconvReads) {
    for (int page = 1250; page <= 1258; ++page) {
        const CodePageHighHalf* table = windowsCodePage("windows-" + std::to_string(page));
        ASSERT_NE(table, nullptr) << page;
        EXPECT_EQ(windowsCodePage("CP" + std::to_string(page)), table);
        for (int byte = 0x80; byte < 0x100; ++byte)
            EXPECT_EQ((*table)[byte - 0x80],
                      iconvCodePoint("CP" + std::to_string(page), static_cast<unsigned char>(byte)))
                << "CP" << page << " byte " << byte;
    }
    EXPECT_EQ(windowsCodePage("windows-1259"), nullptr);
    EXPECT_EQ(windowsCodePage("windows-125"), nullptr);
}

}  // namespace
