#include "asfout/xml_scanner.h"

#include "asfout/utf16_text.h"

namespace asfout {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool IsNameChar(char16_t c)
{
    return !IsSpace(c) && c != u'<' && c != u'>' && c != u'/' && c != u'=' && c != u'"' && c != u'\'' &&
           c != u'?' && c != u'!' && c != u'&' && c != 0;
}

void AppendCodePoint(std::u16string& out, char32_t codePoint)
{
    if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        out += u'\uFFFD';
    } else if (codePoint >= 0x10000) {
        codePoint -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
        out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    } else {
        out += static_cast<char16_t>(codePoint);
    }
}

// Decodes "&name;" at the start of `text`; answers the length consumed, or 0 when it
// is no reference we know (the "&" is then kept as it is).
size_t DecodeReference(std::u16string_view text, std::u16string& out)
{
    const size_t semicolon = text.find(u';');
    if (semicolon == std::u16string_view::npos || semicolon < 2 || semicolon > 12)
        return 0;
    const std::u16string_view body = text.substr(1, semicolon - 1);
    static constexpr struct {
        std::string_view name;
        char16_t value;
    } kNamed[] = {{"lt", u'<'}, {"gt", u'>'}, {"amp", u'&'}, {"quot", u'"'}, {"apos", u'\''}};
    for (const auto& named : kNamed) {
        if (EqualsIgnoreAsciiCase(body, named.name) && body.size() == named.name.size()) {
            out += named.value;
            return semicolon + 1;
        }
    }
    if (body[0] != u'#')
        return 0;
    const bool hex = body.size() > 1 && (body[1] == u'x' || body[1] == u'X');
    const std::u16string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty())
        return 0;
    char32_t value = 0;
    for (const char16_t c : digits) {
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return 0;
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        if (value > 0x10FFFF)
            value = 0x110000;  // stays out of range; at most 8 digits, so no overflow
    }
    AppendCodePoint(out, value);
    return semicolon + 1;
}

}  // namespace

XmlScanner::XmlScanner(std::u16string_view text) : text_(text)
{
    if (!text_.empty() && text_.front() == u'\uFEFF')
        pos_ = 1;
}

XmlScanner::Token XmlScanner::Fail()
{
    failed_ = true;
    name_ = {};
    attributes_.clear();
    return Token::Malformed;
}

bool XmlScanner::At(std::u16string_view prefix) const { return text_.substr(pos_).starts_with(prefix); }

void XmlScanner::SkipSpace()
{
    while (pos_ < text_.size() && IsSpace(text_[pos_]))
        ++pos_;
}

bool XmlScanner::SkipPast(std::u16string_view terminator)
{
    const size_t found = text_.find(terminator, pos_);
    if (found == std::u16string_view::npos)
        return false;
    pos_ = found + terminator.size();
    return true;
}

// "<!DOCTYPE ...>" and similar: up to the ">" outside quotes and outside [...].
bool XmlScanner::SkipDeclaration()
{
    int bracketDepth = 0;
    char16_t quote = 0;
    for (; pos_ < text_.size(); ++pos_) {
        const char16_t c = text_[pos_];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'[') {
            ++bracketDepth;
        } else if (c == u']') {
            --bracketDepth;
        } else if (c == u'>' && bracketDepth <= 0) {
            ++pos_;
            return true;
        }
    }
    return false;
}

std::u16string_view XmlScanner::ScanName()
{
    const size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_]))
        ++pos_;
    return text_.substr(start, pos_ - start);
}

XmlScanner::Token XmlScanner::ScanEndTag()
{
    pos_ += 2;  // "</"
    const std::u16string_view name = ScanName();
    SkipSpace();
    if (name.empty() || pos_ >= text_.size() || text_[pos_] != u'>')
        return Fail();
    ++pos_;
    if (openElements_.empty() || openElements_.back() != name)
        return Fail();
    depth_ = openElements_.size();
    openElements_.pop_back();
    name_ = name;
    selfClosing_ = false;
    attributes_.clear();
    return Token::EndTag;
}

XmlScanner::Token XmlScanner::ScanStartTag()
{
    ++pos_;  // "<"
    const std::u16string_view name = ScanName();
    if (name.empty())
        return Fail();
    attributes_.clear();
    for (;;) {
        const size_t beforeSpace = pos_;
        SkipSpace();
        if (pos_ >= text_.size())
            return Fail();
        if (text_[pos_] == u'>' || At(u"/>"))
            break;
        if (pos_ == beforeSpace)  // attributes must be separated by white space
            return Fail();
        const std::u16string_view attributeName = ScanName();
        SkipSpace();
        if (attributeName.empty() || pos_ >= text_.size() || text_[pos_] != u'=')
            return Fail();
        ++pos_;
        SkipSpace();
        if (pos_ >= text_.size() || (text_[pos_] != u'"' && text_[pos_] != u'\''))
            return Fail();
        const char16_t quote = text_[pos_++];
        const size_t valueStart = pos_;
        while (pos_ < text_.size() && text_[pos_] != quote) {
            if (text_[pos_] == u'<')
                return Fail();
            ++pos_;
        }
        if (pos_ >= text_.size())
            return Fail();
        attributes_.push_back({attributeName, text_.substr(valueStart, pos_ - valueStart)});
        ++pos_;  // closing quote
    }
    selfClosing_ = text_[pos_] == u'/';
    pos_ += selfClosing_ ? 2 : 1;
    name_ = name;
    depth_ = openElements_.size() + 1;
    if (!selfClosing_)
        openElements_.push_back(name);
    return Token::StartTag;
}

XmlScanner::Token XmlScanner::Next()
{
    if (failed_)
        return Token::Malformed;
    for (;;) {
        const size_t open = text_.find(u'<', pos_);
        if (open == std::u16string_view::npos) {
            pos_ = text_.size();
            return openElements_.empty() ? Token::EndOfText : Fail();
        }
        pos_ = open;
        if (At(u"<?")) {
            if (!SkipPast(u"?>"))
                return Fail();
        } else if (At(u"<!--")) {
            pos_ += 4;
            if (!SkipPast(u"-->"))
                return Fail();
        } else if (At(u"<![CDATA[")) {
            if (!SkipPast(u"]]>"))
                return Fail();
        } else if (At(u"<!")) {
            if (!SkipDeclaration())
                return Fail();
        } else if (At(u"</")) {
            return ScanEndTag();
        } else {
            return ScanStartTag();
        }
    }
}

std::optional<std::u16string> XmlScanner::Attribute(std::string_view asciiName) const
{
    for (const AttributeSpan& attribute : attributes_) {
        if (!EqualsIgnoreAsciiCase(attribute.name, asciiName))
            continue;
        std::u16string value;
        value.reserve(attribute.rawValue.size());
        const std::u16string_view raw = attribute.rawValue;
        for (size_t i = 0; i < raw.size();) {
            if (raw[i] == u'&') {
                if (const size_t used = DecodeReference(raw.substr(i), value)) {
                    i += used;
                    continue;
                }
            }
            value += raw[i++];
        }
        return value;
    }
    return std::nullopt;
}

}  // namespace asfout
