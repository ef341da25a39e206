#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pivrel::tools {

// Appends text as a JSON string literal, quotes included. Well-formed UTF-8 passes through as it
// is; a byte that is not part of a well-formed sequence is written as \u00XX so that the output
// stays valid JSON whatever the deck held.
void AppendJsonString(std::string& out, std::string_view text);

// Builds one JSON object into a caller's buffer, member by member, without a tree.
class TJsonObject
{
public:
    // Opens the object ("{") at the end of out; Close appends the "}".
    explicit TJsonObject(std::string& out);

    TJsonObject& String(std::string_view name, std::string_view value);
    TJsonObject& Bool(std::string_view name, bool value);
    TJsonObject& Int(std::string_view name, std::int64_t value);
    TJsonObject& Null(std::string_view name);
    // The member's name and colon; the caller appends the value itself.
    std::string& Key(std::string_view name);
    void Close();

private:
    std::string& m_out;
    bool m_first = true;
};

} // namespace pivrel::tools
