// Loads any bytes as a document. A document that loads must save; what it
// saves must load again to the same tree and save to the same bytes.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "common/AppError.h"
#include "documents/XmlDocument.h"

namespace {

// The tree as the access layer shows it: each node's name and, for an element
// with a single text, that text. At the top level only elements and comments
// count: the declaration and the document type are not saved.
std::string describe(const XmlNodeList& nodes, bool topLevel) {
    std::string out = "(";
    for (std::size_t i = 0; i < nodes.count(); ++i) {
        const XmlNode node = nodes.item(i);
        if (topLevel && !node.isElement() && node.name() != "#comment")
            continue;
        out += node.name();
        if (node.isElement()) {
            try {
                out += "=" + node.text();
            } catch (const AppError&) {
                out += describe(node.childNodes(), false);
            }
        }
        out += ";";
    }
    return out + ")";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = fuzzFolder() + "/input.xml";
    const std::string saved = fuzzFolder() + "/saved.xml";
    writeBytes(input, std::string(reinterpret_cast<const char*>(data), size));
    XmlDocument first;
    std::string firstBytes;
    try {
        first.loadFromFile(input);
        firstBytes = first.serialize();
    } catch (const AppError&) {
        return 0;  // not well-formed, or holding what cannot be written back
    }
    writeBytes(saved, firstBytes);
    XmlDocument second;
    try {
        second.loadFromFile(saved);
    } catch (const AppError& e) {
        finding(std::string("a saved document does not load again: ") + e.what());
    }
    if (second.serialize() != firstBytes)
        finding("saving a reloaded document gives other bytes");
    if (describe(first.childNodes(), true) != describe(second.childNodes(), true))
        finding("the reloaded tree differs: " + describe(first.childNodes(), true) + " / " +
                describe(second.childNodes(), true));
    return 0;
}
