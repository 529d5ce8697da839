// A small non-validating XML scanner over UTF-16 text, enough to read profile files:
// it reports start and end tags with their attributes and skips everything else.
//
// Skipped: text between tags, comments, processing instructions and the XML
// declaration (<? ... ?>), CDATA sections and document type declarations (with an
// internal subset in [...]). Attribute values may be quoted with ' or "; the five
// predefined entities and numeric character references are decoded in Attribute().
// The scanner checks that tags are well formed and properly nested; anything else
// (a "<" inside an attribute value, an unterminated construct, a mismatched or
// missing end tag) makes Next() answer Malformed, and it stays Malformed.
//
// Every access is bounds-checked against the text, so any input is safe to scan.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace asfout {

class XmlScanner {
public:
    enum class Token { StartTag, EndTag, EndOfText, Malformed };

    // The text must outlive the scanner. A leading byte-order mark is skipped.
    explicit XmlScanner(std::u16string_view text);

    // Advances to the next tag. A self-closing tag ("<a/>") is reported once, as a
    // StartTag with IsSelfClosing(); no EndTag follows it.
    Token Next();

    // The element name of the last tag.
    std::u16string_view Name() const { return name_; }
    bool IsSelfClosing() const { return selfClosing_; }
    // Depth of the last tag: 1 for the root element, 2 for its children, ...
    size_t Depth() const { return depth_; }

    // The decoded value of an attribute of the last start tag, its name matched
    // ignoring ASCII case; nullopt when the tag has no such attribute.
    std::optional<std::u16string> Attribute(std::string_view asciiName) const;

private:
    struct AttributeSpan {
        std::u16string_view name;
        std::u16string_view rawValue;
    };

    Token Fail();
    bool SkipPast(std::u16string_view terminator);
    bool SkipDeclaration();
    Token ScanEndTag();
    Token ScanStartTag();
    std::u16string_view ScanName();
    void SkipSpace();
    bool At(std::u16string_view prefix) const;

    std::u16string_view text_;
    size_t pos_ = 0;
    bool failed_ = false;
    std::u16string_view name_;
    bool selfClosing_ = false;
    size_t depth_ = 0;
    std::vector<AttributeSpan> attributes_;
    std::vector<std::u16string_view> openElements_;
};

}  // namespace asfout
