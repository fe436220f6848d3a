#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct XmlTreeNode;
class XmlNodeList;

// One node of a document, or none. Asking none for its children or its text
// raises an error; callers rely on that to notice a missing element.
class XmlNode {
  public:
    XmlNode() = default;
    explicit XmlNode(XmlTreeNode* node) : node_(node) {}

    bool isNone() const { return node_ == nullptr; }
    bool isElement() const;
    // Elements give their tag, processing instructions their target, the
    // declaration "xml", the document type its root name; text "#text",
    // CDATA sections "#cdata-section", comments "#comment".
    std::string name() const;
    XmlNodeList childNodes() const;

    // The content of the element's single text node; empty when it has none.
    // Raises "Element does not contain a single text node" otherwise.
    std::string text() const;
    void setText(const std::string& text);

    // Appends a new element as last child and returns it.
    XmlNode addChild(const std::string& name);
    // Attributes appear in the order they are set.
    void setAttribute(const std::string& name, const std::string& value);

  private:
    void requireNode() const;
    XmlTreeNode* node_ = nullptr;
};

// The ordered nodes below a document or an element.
class XmlNodeList {
  public:
    explicit XmlNodeList(XmlTreeNode* parent) : parent_(parent) {}

    std::size_t count() const;
    XmlNode first() const;
    // The node at index, counted from 0, or none.
    XmlNode item(std::size_t index) const;
    // The first node whose name equals name exactly, or none.
    XmlNode findNode(const std::string& name) const;
    // Removes every node of the list from the document.
    void clear();

  private:
    XmlTreeNode* parent_;
};

// An XML document read from and written to one file. Only well-formed XML 1.0
// is read; its encoding declaration is honoured and the text is held in UTF-8.
// The declaration, the document type, processing instructions and comments
// count as nodes; whitespace-only text does not.
class XmlDocument {
  public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // An inactive document becomes an empty one (also after a failed load, so
    // that a writer can replace a broken file); an active one keeps its content.
    void activate();
    bool isActive() const { return active_; }
    const std::string& fileName() const { return fileName_; }

    // Deactivates and parses the file into a new tree. A parse error raises
    // "<reason>\nLine: <n>\n<first 40 characters of that line>" and leaves the
    // document inactive.
    void loadFromFile(const std::string& path);
    // The same for bytes already read from the file at path.
    void loadFromBytes(const std::string& bytes, const std::string& path);

    XmlNodeList childNodes();
    // Appends a top-level element: on an emptied document, the root.
    XmlNode addChild(const std::string& name);

    // Writes the tree in UTF-8 without declaration, document type or
    // indentation, replacing the file as one step; raises an error when the
    // file cannot be written or a text holds a character XML cannot carry.
    void saveToFile(const std::string& path);

    // The bytes saveToFile writes; raises an error when they would not read
    // back as a document.
    std::string serialize() const;

  private:
    std::unique_ptr<XmlTreeNode> document_;
    bool active_ = false;
    std::string fileName_;
};
