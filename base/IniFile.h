#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pivrel::base {

// The settings and bookmark files: "[SECTION]" lines, each followed by "key=value" lines.
// Section names and keys compare ignoring ASCII letter case; blanks around keys and values are
// not part of them. Lines that are neither (comments, junk) are kept as they stand, so that a
// rewrite changes only the keys written. Saving ends every line with CR LF.
class TIniFile
{
public:
    // At most this many lines (sections, keys and kept lines together) are read.
    static constexpr std::size_t kMaxLines = 100000;

    struct TLine {
        bool IsEntry = false;
        std::string Key; // the key of an entry, or the whole kept line
        std::string Value;
    };

    struct TSection {
        std::string Name; // the first section, holding lines before any "[...]", has no name
        bool HasHeader = false;
        std::vector<TLine> Lines;
    };

    TIniFile();

    // Reads the text as far as it makes sense; never fails.
    void Parse(std::string_view text);
    // A missing or unreadable file leaves the ini empty and returns false.
    bool LoadFromFile(const std::string& path);
    std::string Format() const;
    bool SaveToFile(const std::string& path, std::string& error) const;

    // The value of the first entry with that key, or nothing.
    std::optional<std::string> ReadValue(std::string_view section, std::string_view key) const;
    // A missing key reads as the default; a key with an empty value reads as empty.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
    // A value that is not a decimal integer within int's range reads as the default.
    int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
    // "0" is false, any other integer true; anything else reads as the default.
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

    // Replaces the first entry with that key, or adds one at the end of the section (a new
    // section goes at the end of the file). Line ends inside the value become blanks.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Appends an entry to the section without looking for the key: for writers that know it is
    // new, such as one that has just erased the section.
    void AppendString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // The first value of every key of the section, keys in lower case, so that a long run of
    // numbered keys is read in one pass.
    std::unordered_map<std::string, std::string> ReadSectionValues(std::string_view section) const;

    bool SectionExists(std::string_view section) const;
    void EraseSection(std::string_view section);

    const std::vector<TSection>& Sections() const { return m_sections; }

    // Decimal integer with an optional sign; nothing on junk or overflow.
    static std::optional<int> ParseInteger(std::string_view text);

private:
    TSection* FindSection(std::string_view name);
    const TSection* FindSection(std::string_view name) const;
    TSection& SectionForWriting(std::string_view section);
    void ParseLine(std::string_view line);

    std::vector<TSection> m_sections;
};

} // namespace pivrel::base
