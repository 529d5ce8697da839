// A small INI profile reader and writer with the private-profile forms: sections and
// keys matched without regard to case, lines the program does not own kept as they
// are, and saving done atomically (a temporary file beside the profile, then rename).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace klova {

class IniFile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Reads the file; a missing or unreadable file gives an empty profile. A UTF-8
    // byte-order mark at its start is not part of the first line (and is written back).
    void Load();
    // Writes the whole profile; returns false when it could not be written (the old
    // file is then left as it was).
    bool Save() const;

    std::optional<std::string> GetString(std::string_view section, std::string_view key) const;
    void SetString(std::string_view section, std::string_view key, std::string_view value);
    // Sets the key to a value written in the file's own form (a quoted value is
    // unquoted when read, as one typed into the file).
    void SetStoredValue(std::string_view section, std::string_view key, std::string_view stored);

    // A missing key gives the default; a present one is parsed like the platform's
    // profile functions do (leading sign and digits, anything else reads as 0).
    int64_t GetInteger(std::string_view section, std::string_view key, int64_t defaultValue) const;
    void SetInteger(std::string_view section, std::string_view key, int64_t value);

    // Byte blocks are stored as two capital letters per byte, low four bits first.
    static std::string EncodeBlock(const void* data, size_t length);
    static std::optional<std::vector<uint8_t>> DecodeBlock(std::string_view text);

    // Values that would not survive the plain "key=value" form (blanks at either end,
    // a leading quote, control characters) are written quoted with backslash escapes.
    static std::string EncodeValue(std::string_view value);
    static std::string DecodeValue(std::string_view stored);

private:
    struct Line {
        std::string text;     // the line as read or written
        std::string section;  // section the line belongs to (for key lines)
        std::string key;      // empty unless this is a "key=value" line
        bool isHeader = false;
    };

    const Line* FindKey(std::string_view section, std::string_view key) const;

    std::string path_;
    std::vector<Line> lines_;
    bool byteOrderMark_ = false;
};

}  // namespace klova
