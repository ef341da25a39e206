#include "script/CallAddress.h"

#include "base/Ascii.h"
#include "script/Compiler.h"

#include <cctype>

namespace pivrel::script {

namespace {

    std::string Lower(std::string_view s)
    {
        return base::AsciiLower(s);
    }

    bool IsNameChar(char c, bool first)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'
            || (!first && c >= '0' && c <= '9');
    }

    std::string_view Trim(std::string_view s)
    {
        while (!s.empty() && IsScriptSpace(static_cast<unsigned char>(s.front())))
            s.remove_prefix(1);
        while (!s.empty() && IsScriptSpace(static_cast<unsigned char>(s.back())))
            s.remove_suffix(1);
        return s;
    }

    TValue ArgumentValue(std::string_view text)
    {
        if (text == "true" || text == "false")
            return TValue::Boolean(text == "true");
        if (text == "invalid")
            return TValue::Invalid();
        TValue n = ParseNumber(FromUtf8(text));
        return n.IsInvalid() ? TValue::String(FromUtf8(text)) : n;
    }

} // namespace

std::optional<TCallAddress> ParseCallAddress(std::string_view address)
{
    const std::size_t hash = address.find('#');
    if (hash == std::string_view::npos)
        return std::nullopt;
    const std::string_view fragment = address.substr(hash + 1);
    const std::size_t open = fragment.find('(');
    if (open == std::string_view::npos || open == 0 || fragment.back() != ')')
        return std::nullopt;
    for (std::size_t i = 0; i < open; ++i)
        if (!IsNameChar(fragment[i], i == 0))
            return std::nullopt;
    return TCallAddress { std::string(address.substr(0, hash)), std::string(fragment.substr(0, open)),
        std::string(fragment.substr(open + 1, fragment.size() - open - 2)) };
}

std::optional<std::vector<TValue>> ParseCallArguments(std::string_view text)
{
    std::vector<TValue> out;
    if (Trim(text).empty())
        return out;
    std::size_t pos = 0;
    for (;;) {
        while (pos < text.size() && IsScriptSpace(static_cast<unsigned char>(text[pos])))
            ++pos;
        if (pos < text.size() && (text[pos] == '\'' || text[pos] == '"')) {
            const char quote = text[pos++];
            std::string value;
            while (pos < text.size() && text[pos] != quote) {
                if (text[pos] == '\\' && pos + 1 < text.size())
                    ++pos;
                value.push_back(text[pos++]);
            }
            if (pos >= text.size())
                return std::nullopt;
            ++pos;
            out.push_back(TValue::String(FromUtf8(value)));
            const std::size_t comma = text.find(',', pos);
            if (!Trim(
                    text.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos))
                     .empty())
                return std::nullopt;
            if (comma == std::string_view::npos)
                return out;
            pos = comma + 1;
            continue;
        }
        const std::size_t comma = text.find(',', pos);
        out.push_back(ArgumentValue(
            Trim(text.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos))));
        if (comma == std::string_view::npos)
            return out;
        pos = comma + 1;
    }
}

TUnitKind UnitKindOf(std::string_view contentType, std::string_view address)
{
    const std::string type = Lower(Trim(contentType.substr(0, contentType.find(';'))));
    if (type == "text/vnd.wap.wmlscript")
        return TUnitKind::Text;
    if (type == "application/vnd.wap.wmlscriptc")
        return TUnitKind::Bytecode;
    if (!type.empty() && type != "application/octet-stream" && type != "text/plain")
        return TUnitKind::Unknown;
    const std::string path = Lower(address.substr(0, address.find_first_of("?#")));
    if (path.ends_with(".wmls"))
        return TUnitKind::Text;
    if (path.ends_with(".wmlsc"))
        return TUnitKind::Bytecode;
    return TUnitKind::Unknown;
}

TLoadResult UnitFromResource(std::string_view bytes, std::string_view contentType, std::string_view address)
{
    switch (UnitKindOf(contentType, address)) {
    case TUnitKind::Bytecode: {
        TLoadResult r = LoadUnit(bytes);
        if (!r.Ok)
            r.Error = "the script's bytecode was refused: " + r.Error;
        return r;
    }
    case TUnitKind::Text: {
        TCompileResult c = Compile(bytes);
        TLoadResult r;
        r.Ok = c.Ok;
        r.Error = c.Ok ? std::string() : "the script does not compile: " + c.Error;
        r.Unit = std::move(c.Unit);
        return r;
    }
    default:
        break;
    }
    TLoadResult r;
    r.Error = "not a script (content type "
        + (contentType.empty() ? std::string("unknown") : std::string(contentType)) + ")";
    return r;
}

} // namespace pivrel::script
