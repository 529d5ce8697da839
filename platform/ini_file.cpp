#include "platform/ini_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace klova {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string_view Trim(std::string_view text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

void IniFile::Load()
{
    lines_.clear();
    byteOrderMark_ = false;
    std::ifstream in(path_, std::ios::binary);
    if (!in)
        return;
    std::string text;
    std::string section;
    while (std::getline(in, text)) {
        if (lines_.empty() && text.rfind(kByteOrderMark, 0) == 0) {
            byteOrderMark_ = true;
            text.erase(0, std::strlen(kByteOrderMark));
        }
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        Line line;
        line.text = text;
        const std::string_view trimmed = Trim(text);
        if (!trimmed.empty() && trimmed.front() == '[') {
            const size_t close = trimmed.find(']');
            section = std::string(Trim(trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
            line.isHeader = true;
        } else if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#') {
            const size_t equals = trimmed.find('=');
            if (equals != std::string_view::npos)
                line.key = std::string(Trim(trimmed.substr(0, equals)));
        }
        line.section = section;
        lines_.push_back(std::move(line));
    }
}

bool IniFile::Save() const
{
    std::string content = byteOrderMark_ ? kByteOrderMark : "";
    for (const Line& line : lines_) {
        content += line.text;
        content += "\r\n";
    }
    const std::string temporary = path_ + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path_.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

const IniFile::Line* IniFile::FindKey(std::string_view section, std::string_view key) const
{
    for (const Line& line : lines_)
        if (!line.key.empty() && EqualNoCase(line.section, section) && EqualNoCase(line.key, key))
            return &line;
    return nullptr;
}

std::optional<std::string> IniFile::GetString(std::string_view section, std::string_view key) const
{
    const Line* line = FindKey(section, key);
    if (!line)
        return std::nullopt;
    const size_t equals = line->text.find('=');
    return DecodeValue(std::string_view(line->text).substr(equals + 1));
}

void IniFile::SetString(std::string_view section, std::string_view key, std::string_view value)
{
    SetStoredValue(section, key, EncodeValue(value));
}

void IniFile::SetStoredValue(std::string_view section, std::string_view key, std::string_view stored)
{
    std::string text = std::string(key) + "=" + std::string(stored);
    if (Line* existing = const_cast<Line*>(FindKey(section, key))) {
        existing->text = std::move(text);
        return;
    }
    // Append after the last non-blank line of the section, or open the section.
    auto insertAt = lines_.end();
    bool sectionFound = false;
    for (auto it = lines_.begin(); it != lines_.end(); ++it) {
        if (!EqualNoCase(it->section, section))
            continue;
        if (it->isHeader)
            sectionFound = true;
        if (sectionFound && (it->isHeader || !Trim(it->text).empty()))
            insertAt = it + 1;
    }
    if (!sectionFound) {
        if (!lines_.empty() && !Trim(lines_.back().text).empty())
            lines_.push_back(Line{"", lines_.back().section, "", false});
        std::string header = "[";
        header.append(section).append("]");
        lines_.push_back(Line{std::move(header), std::string(section), "", true});
        insertAt = lines_.end();
    }
    lines_.insert(insertAt, Line{std::move(text), std::string(section), std::string(key), false});
}

int64_t IniFile::GetInteger(std::string_view section, std::string_view key, int64_t defaultValue) const
{
    const std::optional<std::string> text = GetString(section, key);
    if (!text)
        return defaultValue;
    std::string_view digits = Trim(*text);
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > (int64_t{1} << 40))
            break;
    }
    return negative ? -value : value;
}

void IniFile::SetInteger(std::string_view section, std::string_view key, int64_t value)
{
    SetString(section, key, std::to_string(value));
}

std::string IniFile::EncodeBlock(const void* data, size_t length)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::string text;
    text.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        text += static_cast<char>('A' + (bytes[i] & 0x0F));
        text += static_cast<char>('A' + (bytes[i] >> 4));
    }
    return text;
}

std::optional<std::vector<uint8_t>> IniFile::DecodeBlock(std::string_view text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int low = text[i] - 'A';
        const int high = text[i + 1] - 'A';
        if (low < 0 || low > 15 || high < 0 || high > 15)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(low | (high << 4)));
    }
    return bytes;
}

std::string IniFile::EncodeValue(std::string_view value)
{
    const bool blankAtEnds = !value.empty() && (Trim(value).size() != value.size());
    const bool leadingQuote = !value.empty() && value.front() == '"';
    const bool control = std::any_of(value.begin(), value.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (!blankAtEnds && !leadingQuote && !control)
        return std::string(value);
    std::string quoted = "\"";
    for (char c : value) {
        switch (c) {
        case '\\': quoted += "\\\\"; break;
        case '"': quoted += "\\\""; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                char escape[5];
                std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
                quoted += escape;
            } else {
                quoted += c;
            }
        }
    }
    quoted += '"';
    return quoted;
}

std::string IniFile::DecodeValue(std::string_view stored)
{
    stored = Trim(stored);
    if (stored.size() < 2 || stored.front() != '"' || stored.back() != '"')
        return std::string(stored);
    stored = stored.substr(1, stored.size() - 2);
    std::string value;
    for (size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] != '\\' || i + 1 == stored.size()) {
            value += stored[i];
            continue;
        }
        const char next = stored[++i];
        switch (next) {
        case 'n': value += '\n'; break;
        case 'r': value += '\r'; break;
        case 't': value += '\t'; break;
        case 'x': {
            const auto hex = [](char c) {
                return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            };
            const int high = i + 1 < stored.size() ? hex(stored[i + 1]) : -1;
            const int low = i + 2 < stored.size() ? hex(stored[i + 2]) : -1;
            if (high < 0 || low < 0) {
                value += 'x';
                break;
            }
            value += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default: value += next; break;
        }
    }
    return value;
}

}  // namespace klova
