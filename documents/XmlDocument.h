#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace pugi {
struct xml_node_struct;
class xml_document;
}  // namespace pugi

class XmlNodeList;

// One node of a document, or none. Asking none for its children or its text
// raises an error; callers rely on that to notice a missing element.
class XmlNode {
  public:
    XmlNode() = default;
    explicit XmlNode(pugi::xml_node_struct* node) : node_(node) {}

    bool isNone() const { return node_ == nullptr; }
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
    pugi::xml_node_struct* node_ = nullptr;
};

// The ordered nodes below a document or an element.
class XmlNodeList {
  public:
    explicit XmlNodeList(pugi::xml_node_struct* parent) : parent_(parent) {}

    std::size_t count() const;
    XmlNode first() const;
    // The first node whose name equals name exactly, or none.
    XmlNode findNode(const std::string& name) const;
    // Removes every node of the list from the document.
    void clear();

  private:
    pugi::xml_node_struct* parent_;
};

// An XML document read from and written to one file. Declarations, processing
// instructions and comments count as nodes; whitespace-only text does not.
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

    XmlNodeList childNodes();
    // Appends a top-level element: on an emptied document, the root.
    XmlNode addChild(const std::string& name);

    // Writes the tree without declaration or indentation, replacing the file as
    // one step; raises an error when the file cannot be written.
    void saveToFile(const std::string& path);

  private:
    pugi::xml_node_struct* documentNode();
    std::unique_ptr<pugi::xml_document> document_;
    bool active_ = false;
    std::string fileName_;
};
