#include "documents/XmlDocument.h"

#include <pugixml.hpp>
#include <sstream>

#include "common/AppError.h"
#include "platform/FileSystem.h"

namespace {

pugi::xml_node wrap(pugi::xml_node_struct* node) {
    return pugi::xml_node(node);
}

bool isTextNode(pugi::xml_node node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

std::string parseErrorText(const std::string& source, const std::string& reason,
                           std::ptrdiff_t errorOffset) {
    const std::size_t offset =
        std::min(static_cast<std::size_t>(std::max<std::ptrdiff_t>(errorOffset, 0)), source.size());
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i) {
        if (source[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    std::size_t lineEnd = source.find_first_of("\r\n", lineStart);
    if (lineEnd == std::string::npos)
        lineEnd = source.size();
    const std::string lineText =
        source.substr(lineStart, std::min<std::size_t>(lineEnd - lineStart, 40));
    return reason + "\nLine: " + std::to_string(line) + "\n" + lineText;
}

// The parser takes several top-level elements or text beside the root; a
// well-formed document has neither. Returns the error text, or empty.
std::string topLevelError(const std::string& source, const pugi::xml_document& document) {
    bool rootSeen = false;
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            return parseErrorText(source, "Invalid at the top level of the document.",
                                  node.offset_debug());
        if (node.type() != pugi::node_element)
            continue;
        if (rootSeen)
            return parseErrorText(source, "Only one top level element is allowed.",
                                  node.offset_debug());
        rootSeen = true;
    }
    return {};
}

}  // namespace

void XmlNode::requireNode() const {
    if (!node_)
        throw AppError("The XML node does not exist");
}

std::string XmlNode::name() const {
    requireNode();
    return wrap(node_).name();
}

XmlNodeList XmlNode::childNodes() const {
    requireNode();
    return XmlNodeList(node_);
}

std::string XmlNode::text() const {
    requireNode();
    const pugi::xml_node node = wrap(node_);
    const pugi::xml_node first = node.first_child();
    if (!first)
        return {};
    if (first.next_sibling() || !isTextNode(first))
        throw AppError("Element does not contain a single text node");
    return first.value();
}

void XmlNode::setText(const std::string& text) {
    requireNode();
    pugi::xml_node node = wrap(node_);
    while (node.first_child()) node.remove_child(node.first_child());
    node.append_child(pugi::node_pcdata).set_value(text.c_str());
}

XmlNode XmlNode::addChild(const std::string& name) {
    requireNode();
    return XmlNode(wrap(node_).append_child(name.c_str()).internal_object());
}

void XmlNode::setAttribute(const std::string& name, const std::string& value) {
    requireNode();
    pugi::xml_node node = wrap(node_);
    pugi::xml_attribute attribute = node.attribute(name.c_str());
    if (!attribute)
        attribute = node.append_attribute(name.c_str());
    attribute.set_value(value.c_str());
}

std::size_t XmlNodeList::count() const {
    std::size_t n = 0;
    for (pugi::xml_node child = wrap(parent_).first_child(); child; child = child.next_sibling())
        ++n;
    return n;
}

XmlNode XmlNodeList::first() const {
    return XmlNode(wrap(parent_).first_child().internal_object());
}

XmlNode XmlNodeList::findNode(const std::string& name) const {
    for (pugi::xml_node child = wrap(parent_).first_child(); child; child = child.next_sibling()) {
        if (name == child.name())
            return XmlNode(child.internal_object());
    }
    return XmlNode();
}

void XmlNodeList::clear() {
    pugi::xml_node parent = wrap(parent_);
    while (parent.first_child()) parent.remove_child(parent.first_child());
}

XmlDocument::XmlDocument() : document_(std::make_unique<pugi::xml_document>()) {}

XmlDocument::~XmlDocument() = default;

void XmlDocument::activate() {
    if (active_)
        return;
    document_->reset();
    active_ = true;
}

void XmlDocument::loadFromFile(const std::string& path) {
    active_ = false;
    fileName_ = path;
    document_->reset();
    std::string reason;
    const auto source = platform::readFileContents(path, &reason);
    if (!source)
        throw AppError("Cannot read " + path + ": " + reason);
    const unsigned options =
        pugi::parse_default | pugi::parse_declaration | pugi::parse_pi | pugi::parse_comments;
    const pugi::xml_parse_result result =
        document_->load_buffer(source->data(), source->size(), options);
    const std::string error = result ? topLevelError(*source, *document_)
                                     : parseErrorText(*source, result.description(), result.offset);
    if (!error.empty()) {
        document_->reset();
        throw AppError(error);
    }
    active_ = true;
}

pugi::xml_node_struct* XmlDocument::documentNode() {
    activate();
    return document_->internal_object();
}

XmlNodeList XmlDocument::childNodes() {
    return XmlNodeList(documentNode());
}

XmlNode XmlDocument::addChild(const std::string& name) {
    return XmlNode(documentNode()).addChild(name);
}

void XmlDocument::saveToFile(const std::string& path) {
    std::ostringstream out;
    document_->save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    std::string reason;
    if (!platform::replaceFileContents(path, out.str(), &reason))
        throw AppError("Cannot write " + path + ": " + reason);
    fileName_ = path;
}
