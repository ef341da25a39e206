#include "base/IniFile.h"

#include "base/Ascii.h"
#include "base/ListFile.h"

#include <algorithm>
#include <charconv>

namespace pivrel::base {

namespace {

    std::string_view Trim(std::string_view text)
    {
        const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
        while (!text.empty() && isBlank(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && isBlank(text.back()))
            text.remove_suffix(1);
        return text;
    }

    // A byte-order mark in front of a line counts as blank there: it is invisible, and a key that
    // kept it would start the file once written back, where reading drops it.
    std::string_view TrimLine(std::string_view line)
    {
        line = Trim(line);
        while (line.starts_with("\xEF\xBB\xBF"))
            line = Trim(line.substr(3));
        return line;
    }

    std::string WithoutLineEnds(std::string_view text)
    {
        std::string result(text);
        std::replace_if(
            result.begin(), result.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        return result;
    }

} // namespace

TIniFile::TIniFile()
{
    m_sections.emplace_back();
}

void TIniFile::Parse(std::string_view text)
{
    m_sections.clear();
    m_sections.emplace_back();
    // An editor may have put a byte-order mark before the first section; every one of them goes,
    // so that a file read and written again reads the same.
    while (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    for (const auto& line : SplitBoundedLines(text, kMaxLines))
        ParseLine(line);
}

void TIniFile::ParseLine(std::string_view line)
{
    const std::string_view trimmed = TrimLine(line);
    if (!trimmed.empty() && trimmed.front() == '[') {
        std::string_view name = trimmed.substr(1);
        name = name.substr(0, name.find(']'));
        m_sections.push_back({ std::string(Trim(name)), true, {} });
        return;
    }
    auto& lines = m_sections.back().Lines;
    const auto equals = trimmed.find('=');
    if (trimmed.empty() || trimmed.front() == ';' || equals == std::string_view::npos) {
        lines.push_back({ false, std::string(line), {} });
        return;
    }
    lines.push_back({ true, std::string(Trim(trimmed.substr(0, equals))),
        std::string(Trim(trimmed.substr(equals + 1))) });
}

bool TIniFile::LoadFromFile(const std::string& path)
{
    std::string bytes;
    const bool read = ReadBoundedFile(path, bytes);
    Parse(bytes);
    return read;
}

std::string TIniFile::Format() const
{
    std::string text;
    for (const auto& section : m_sections) {
        if (section.HasHeader)
            text += "[" + section.Name + "]\r\n";
        for (const auto& line : section.Lines) {
            text += line.Key;
            if (line.IsEntry)
                text += "=" + line.Value;
            text += "\r\n";
        }
    }
    return text;
}

bool TIniFile::SaveToFile(const std::string& path, std::string& error) const
{
    return WriteFileAtomically(path, Format(), error);
}

TIniFile::TSection* TIniFile::FindSection(std::string_view name)
{
    for (auto& section : m_sections) {
        if (section.HasHeader && SameTextIgnoringCase(section.Name, name))
            return &section;
    }
    return nullptr;
}

const TIniFile::TSection* TIniFile::FindSection(std::string_view name) const
{
    return const_cast<TIniFile*>(this)->FindSection(name);
}

std::optional<std::string> TIniFile::ReadValue(std::string_view section, std::string_view key) const
{
    const TSection* found = FindSection(section);
    if (found == nullptr)
        return std::nullopt;
    for (const auto& line : found->Lines) {
        if (line.IsEntry && SameTextIgnoringCase(line.Key, key))
            return line.Value;
    }
    return std::nullopt;
}

std::string TIniFile::ReadString(
    std::string_view section, std::string_view key, std::string_view fallback) const
{
    auto value = ReadValue(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

std::optional<int> TIniFile::ParseInteger(std::string_view text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const
{
    const auto value = ReadValue(section, key);
    if (!value)
        return fallback;
    return ParseInteger(*value).value_or(fallback);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const
{
    const auto value = ReadValue(section, key);
    if (!value)
        return fallback;
    const auto number = ParseInteger(*value);
    return number ? *number != 0 : fallback;
}

TIniFile::TSection& TIniFile::SectionForWriting(std::string_view section)
{
    TSection* found = FindSection(section);
    if (found == nullptr) {
        m_sections.push_back({ WithoutLineEnds(section), true, {} });
        found = &m_sections.back();
    }
    return *found;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    for (auto& line : SectionForWriting(section).Lines) {
        if (line.IsEntry && SameTextIgnoringCase(line.Key, key)) {
            line.Value = WithoutLineEnds(value);
            return;
        }
    }
    AppendString(section, key, value);
}

void TIniFile::AppendString(std::string_view section, std::string_view key, std::string_view value)
{
    auto& lines = SectionForWriting(section).Lines;
    // A new key goes after the section's last entry, ahead of any blank or comment lines that
    // close the section.
    auto lastEntry
        = std::find_if(lines.rbegin(), lines.rend(), [](const TLine& line) { return line.IsEntry; });
    lines.insert(lastEntry.base(), { true, WithoutLineEnds(key), WithoutLineEnds(value) });
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

std::unordered_map<std::string, std::string> TIniFile::ReadSectionValues(std::string_view section) const
{
    std::unordered_map<std::string, std::string> values;
    if (const TSection* found = FindSection(section)) {
        for (const auto& line : found->Lines) {
            if (line.IsEntry)
                values.emplace(AsciiLower(line.Key), line.Value);
        }
    }
    return values;
}

bool TIniFile::SectionExists(std::string_view section) const
{
    return FindSection(section) != nullptr;
}

void TIniFile::EraseSection(std::string_view section)
{
    std::erase_if(m_sections,
        [&](const TSection& each) { return each.HasHeader && SameTextIgnoringCase(each.Name, section); });
}

} // namespace pivrel::base
