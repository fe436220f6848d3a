#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class XmlDocument;

// The device parameter image: a 4-byte head (always 4), then the general
// parameters packed without gaps, little-endian. A complete image is 19 bytes;
// without a document it is the head alone.
inline constexpr std::size_t kImageBufferSize = 100004;
extern std::array<std::uint8_t, kImageBufferSize> ImageBuffer;
extern std::int32_t ImageLength;

// Encodes projectFolder's pargen.xml, read through document, into ImageBuffer
// and ImageLength. Raises an error when the document cannot be loaded, a
// required element is missing or its text is not an integer; ImageLength then
// stays 4. A value that does not fit its field keeps its low 8 or 16 bits, as
// the device format has it; truncations, when given, receives one line for
// each ("MODE_DEV 257 is stored as 1").
void BuildParameterImage(XmlDocument& document, const std::string& projectFolder,
                         std::vector<std::string>* truncations = nullptr);

// The same for a pargen.xml already loaded into document from path.
void EncodeParameterImage(XmlDocument& document, const std::string& path,
                          std::vector<std::string>* truncations = nullptr);

// Replaces bin/bank.bin in projectFolder with the image as one step; raises an
// error naming the file when it cannot be written, leaving the old file as it was.
void WriteParameterImage(const std::string& projectFolder);
