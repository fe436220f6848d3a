#include "documents/XmlDocument.h"

#include <expat.h>

#include <climits>
#include <vector>

#include "common/AppError.h"
#include "common/ShortQuote.h"
#include "documents/TextEncodings.h"
#include "platform/FileSystem.h"

struct XmlTreeNode {
    enum class Kind { Document, Element, Text, CData, Comment, Instruction, Declaration, DocType };

    XmlTreeNode(Kind kind, std::string name) : kind(kind), name(std::move(name)) {}

    // Without recursion, however deep the tree: every node below is moved to
    // one list and goes from there with no children of its own.
    ~XmlTreeNode() {
        std::vector<std::unique_ptr<XmlTreeNode>> below = std::move(children);
        while (!below.empty()) {
            std::unique_ptr<XmlTreeNode> node = std::move(below.back());
            below.pop_back();
            for (auto& child : node->children) below.push_back(std::move(child));
            node->children.clear();
        }
    }
    XmlTreeNode(const XmlTreeNode&) = delete;
    XmlTreeNode& operator=(const XmlTreeNode&) = delete;

    XmlTreeNode* append(std::unique_ptr<XmlTreeNode> child) {
        children.push_back(std::move(child));
        return children.back().get();
    }

    Kind kind;
    std::string name;
    std::string value;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::unique_ptr<XmlTreeNode>> children;
};

using Kind = XmlTreeNode::Kind;

// Deeper documents are refused, so that nothing that walks a tree can run out
// of stack.
constexpr std::size_t kDeepestNesting = 256;

namespace {

std::unique_ptr<XmlTreeNode> makeNode(Kind kind, std::string name, std::string value = {}) {
    auto node = std::make_unique<XmlTreeNode>(kind, std::move(name));
    node->value = std::move(value);
    return node;
}

bool isTextKind(Kind kind) {
    return kind == Kind::Text || kind == Kind::CData;
}

bool isBlankText(const XmlTreeNode& node) {
    return node.kind == Kind::Text && node.value.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Builds the tree while expat reads the document.
class TreeBuilder {
  public:
    TreeBuilder(XML_Parser parser, XmlTreeNode* document) : parser_(parser), open_{document} {
        XML_SetUserData(parser, this);
        XML_SetXmlDeclHandler(parser, &TreeBuilder::onDeclaration);
        XML_SetStartDoctypeDeclHandler(parser, &TreeBuilder::onDocType);
        XML_SetElementHandler(parser, &TreeBuilder::onStart, &TreeBuilder::onEnd);
        XML_SetCharacterDataHandler(parser, &TreeBuilder::onCharacters);
        XML_SetCdataSectionHandler(parser, &TreeBuilder::onCDataStart, &TreeBuilder::onCDataEnd);
        XML_SetCommentHandler(parser, &TreeBuilder::onComment);
        XML_SetProcessingInstructionHandler(parser, &TreeBuilder::onInstruction);
        XML_SetSkippedEntityHandler(parser, &TreeBuilder::onSkippedEntity);
    }

    // Set when the builder itself stopped the parser.
    const std::string& ownError() const { return ownError_; }

  private:
    static TreeBuilder& self(void* data) { return *static_cast<TreeBuilder*>(data); }
    XmlTreeNode* current() { return open_.back(); }

    void add(std::unique_ptr<XmlTreeNode> node) { current()->append(std::move(node)); }

    static void onDeclaration(void* data, const XML_Char* version, const XML_Char*, int) {
        if (version)  // a text declaration of an external entity has none
            self(data).add(makeNode(Kind::Declaration, "xml"));
    }
    static void onDocType(void* data, const XML_Char* name, const XML_Char*, const XML_Char*, int) {
        self(data).add(makeNode(Kind::DocType, name));
    }
    static void onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        TreeBuilder& builder = self(data);
        // open_ holds the document and the elements around this one.
        if (builder.open_.size() > kDeepestNesting) {
            builder.stop("nesting deeper than " + std::to_string(kDeepestNesting) + " levels");
            return;
        }
        auto element = makeNode(Kind::Element, name);
        for (const XML_Char** a = attributes; *a; a += 2)
            element->attributes.emplace_back(a[0], a[1]);
        XmlTreeNode* added = builder.current()->append(std::move(element));
        builder.open_.push_back(added);
    }
    static void onEnd(void* data, const XML_Char*) { self(data).open_.pop_back(); }
    static void onCharacters(void* data, const XML_Char* text, int length) {
        TreeBuilder& builder = self(data);
        auto& siblings = builder.current()->children;
        // expat hands text over in pieces (around references and line ends);
        // inside a CDATA section the last child is that section.
        if (!builder.inCData_ && (siblings.empty() || siblings.back()->kind != Kind::Text))
            builder.current()->append(makeNode(Kind::Text, "#text"));
        siblings.back()->value.append(text, static_cast<std::size_t>(length));
    }
    static void onCDataStart(void* data) {
        self(data).current()->append(makeNode(Kind::CData, "#cdata-section"));
        self(data).inCData_ = true;
    }
    static void onCDataEnd(void* data) { self(data).inCData_ = false; }
    static void onComment(void* data, const XML_Char* text) {
        self(data).add(makeNode(Kind::Comment, "#comment", text));
    }
    static void onInstruction(void* data, const XML_Char* target, const XML_Char* text) {
        self(data).add(makeNode(Kind::Instruction, target, text));
    }
    // An entity that no declaration read defines (one that only an external
    // DTD could define): the document cannot be read as it is meant.
    static void onSkippedEntity(void* data, const XML_Char* name, int) {
        self(data).stop(std::string("undefined entity '") + name + "'");
    }

    void stop(const std::string& reason) {
        if (ownError_.empty())
            ownError_ = reason;
        XML_StopParser(parser_, XML_FALSE);
    }

    XML_Parser parser_;
    std::vector<XmlTreeNode*> open_;
    bool inCData_ = false;
    std::string ownError_;
};

void dropBlankText(XmlTreeNode& document) {
    std::vector<XmlTreeNode*> pending{&document};
    while (!pending.empty()) {
        XmlTreeNode* node = pending.back();
        pending.pop_back();
        std::erase_if(node->children, [](const auto& child) { return isBlankText(*child); });
        for (auto& child : node->children) pending.push_back(child.get());
    }
}

constexpr std::size_t kQuotedCharacters = 40;

// Windows code pages, which expat does not know by itself: one byte, one
// character, and a byte the code page leaves undefined is not well-formed.
int onUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    const CodePageHighHalf* table = windowsCodePage(name);
    if (!table)
        return XML_STATUS_ERROR;
    for (int byte = 0; byte < 0x80; ++byte) info->map[byte] = byte;
    for (int byte = 0x80; byte < 0x100; ++byte) info->map[byte] = (*table)[byte - 0x80];
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

std::unique_ptr<XmlTreeNode> parseDocument(const std::string& source) {
    auto document = makeNode(Kind::Document, "#document");
    if (source.size() > static_cast<std::size_t>(INT_MAX))
        throw AppError("The document is too large\nLine: 1\n" +
                       documentLineText(source, 1, kQuotedCharacters));
    const XML_Parser parser = XML_ParserCreate(nullptr);
    if (!parser)
        throw AppError("Out of memory while reading the document");
    std::string error;
    unsigned long line = 0;
    {
        TreeBuilder builder(parser, document.get());
        XML_SetUnknownEncodingHandler(parser, onUnknownEncoding, nullptr);
        if (XML_Parse(parser, source.data(), static_cast<int>(source.size()), XML_TRUE) ==
            XML_STATUS_ERROR) {
            error = builder.ownError().empty() ? XML_ErrorString(XML_GetErrorCode(parser))
                                               : builder.ownError();
            line = XML_GetCurrentLineNumber(parser);
        }
    }
    XML_ParserFree(parser);
    if (!error.empty())
        throw AppError(error + "\nLine: " + std::to_string(line) + "\n" +
                       documentLineText(source, line, kQuotedCharacters));
    dropBlankText(*document);
    return document;
}

// XML 1.0 cannot carry the other control characters, not even as references.
void requireXmlCharacters(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')
            throw AppError("The text '" + shortQuote(text) +
                           "' holds a control character that an XML document cannot store");
    }
}

void appendEscaped(std::string& out, const std::string& text, bool attribute) {
    requireXmlCharacters(text);
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += attribute ? ">" : "&gt;";
                break;
            case '"':
                out += attribute ? "&quot;" : "\"";
                break;
            // References keep these from the reader's normalisation.
            case '\r':
                out += "&#13;";
                break;
            case '\n':
                out += attribute ? "&#10;" : "\n";
                break;
            case '\t':
                out += attribute ? "&#9;" : "\t";
                break;
            default:
                out += c;
        }
    }
}

void appendNode(std::string& out, const XmlTreeNode& node) {
    switch (node.kind) {
        case Kind::Element:
            out += '<' + node.name;
            for (const auto& [name, value] : node.attributes) {
                out += ' ' + name + "=\"";
                appendEscaped(out, value, true);
                out += '"';
            }
            if (node.children.empty()) {
                out += "/>";
                return;
            }
            out += '>';
            for (const auto& child : node.children) appendNode(out, *child);
            out += "</" + node.name + '>';
            return;
        case Kind::Text:
            appendEscaped(out, node.value, false);
            return;
        case Kind::CData: {
            requireXmlCharacters(node.value);
            std::string value = node.value;
            for (std::size_t at = value.find("]]>"); at != std::string::npos;
                 at = value.find("]]>", at + 15))
                value.replace(at, 3, "]]]]><![CDATA[>");
            out += "<![CDATA[" + value + "]]>";
            return;
        }
        case Kind::Comment:
            out += "<!--" + node.value + "-->";
            return;
        case Kind::Instruction:
            out += "<?" + node.name + (node.value.empty() ? "" : " " + node.value) + "?>";
            return;
        case Kind::Declaration:  // the saved bytes are UTF-8, whatever was read
        case Kind::DocType:      // its internal subset is not kept
        case Kind::Document:
            return;
    }
}

}  // namespace

void XmlNode::requireNode() const {
    if (!node_)
        throw AppError("The XML node does not exist");
}

bool XmlNode::isElement() const {
    return node_ && node_->kind == Kind::Element;
}

std::string XmlNode::name() const {
    requireNode();
    return node_->name;
}

XmlNodeList XmlNode::childNodes() const {
    requireNode();
    return XmlNodeList(node_);
}

std::string XmlNode::text() const {
    requireNode();
    const auto& children = node_->children;
    if (children.empty())
        return {};
    if (children.size() > 1 || !isTextKind(children.front()->kind))
        throw AppError("Element does not contain a single text node");
    return children.front()->value;
}

void XmlNode::setText(const std::string& text) {
    requireNode();
    node_->children.clear();
    node_->append(makeNode(Kind::Text, "#text", text));
}

XmlNode XmlNode::addChild(const std::string& name) {
    requireNode();
    return XmlNode(node_->append(makeNode(Kind::Element, name)));
}

void XmlNode::setAttribute(const std::string& name, const std::string& value) {
    requireNode();
    for (auto& attribute : node_->attributes) {
        if (attribute.first == name) {
            attribute.second = value;
            return;
        }
    }
    node_->attributes.emplace_back(name, value);
}

std::size_t XmlNodeList::count() const {
    return parent_->children.size();
}

XmlNode XmlNodeList::first() const {
    return parent_->children.empty() ? XmlNode() : XmlNode(parent_->children.front().get());
}

XmlNode XmlNodeList::item(std::size_t index) const {
    return index < parent_->children.size() ? XmlNode(parent_->children[index].get()) : XmlNode();
}

XmlNode XmlNodeList::findNode(const std::string& name) const {
    for (const auto& child : parent_->children) {
        if (child->name == name)
            return XmlNode(child.get());
    }
    return XmlNode();
}

void XmlNodeList::clear() {
    parent_->children.clear();
}

XmlDocument::XmlDocument() : document_(makeNode(Kind::Document, "#document")) {}

XmlDocument::~XmlDocument() = default;

void XmlDocument::activate() {
    if (active_)
        return;
    document_ = makeNode(Kind::Document, "#document");
    active_ = true;
}

void XmlDocument::loadFromFile(const std::string& path) {
    active_ = false;
    fileName_ = path;
    document_ = makeNode(Kind::Document, "#document");
    std::string message;
    const auto source = platform::readFileContents(path, &message);
    if (!source)
        throw AppError(message);
    loadFromBytes(*source, path);
}

void XmlDocument::loadFromBytes(const std::string& bytes, const std::string& path) {
    active_ = false;
    fileName_ = path;
    document_ = makeNode(Kind::Document, "#document");
    document_ = parseDocument(bytes);
    active_ = true;
}

XmlNodeList XmlDocument::childNodes() {
    activate();
    return XmlNodeList(document_.get());
}

XmlNode XmlDocument::addChild(const std::string& name) {
    activate();
    return XmlNode(document_.get()).addChild(name);
}

std::string XmlDocument::serialize() const {
    std::string out;
    for (const auto& child : document_->children) appendNode(out, *child);
    // Never write what cannot be read back, such as a name that was a name
    // only in the encoding it was read in.
    try {
        parseDocument(out);
    } catch (const AppError& e) {
        if (!out.empty())
            throw AppError(std::string("The document cannot be written as XML: ") + e.what());
    }
    return out;
}

void XmlDocument::saveToFile(const std::string& path) {
    const std::string bytes = serialize();
    std::string reason;
    if (!platform::replaceFileContents(path, bytes, &reason))
        throw AppError("Cannot write " + path + ": " + reason);
    fileName_ = path;
}
