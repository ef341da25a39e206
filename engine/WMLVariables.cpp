#include "base/Hex.h"
#include "engine/WMLBrowser.h"
#include "wml/InputFormat.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <optional>
#include <vector>

namespace pivrel::engine {

namespace {

    // For each prefix of the pattern, the length of its longest proper border: lets the search below step
    // on without ever going back in the text, whatever names and texts the deck holds.
    std::vector<std::size_t> Borders(std::string_view pattern)
    {
        std::vector<std::size_t> borders(pattern.size(), 0);
        std::size_t k = 0;
        for (std::size_t i = 1; i < pattern.size(); ++i) {
            while (k > 0 && pattern[i] != pattern[k])
                k = borders[k - 1];
            if (pattern[i] == pattern[k])
                ++k;
            borders[i] = k;
        }
        return borders;
    }

    // Replaces every occurrence of pattern, left to right. The search resumes after each inserted value, so
    // a value that holds the pattern itself is not searched again.
    std::string ReplaceEach(std::string_view text, std::string_view pattern, std::string_view replacement)
    {
        if (pattern.empty() || text.size() < pattern.size()
            || text.find(pattern.front()) == std::string_view::npos)
            return std::string(text);
        std::vector<std::size_t> borders = Borders(pattern);
        std::string out;
        std::size_t copied = 0;
        std::size_t k = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            while (k > 0 && text[i] != pattern[k])
                k = borders[k - 1];
            if (text[i] == pattern[k])
                ++k;
            if (k == pattern.size()) {
                std::size_t start = i + 1 - k;
                out.append(text.substr(copied, start - copied));
                out.append(replacement);
                copied = i + 1;
                k = 0;
            }
        }
        if (copied == 0)
            return std::string(text);
        out.append(text.substr(copied));
        return out;
    }

    bool IsNameStart(char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    }

    bool IsNameChar(char c)
    {
        return IsNameStart(c) || (c >= '0' && c <= '9');
    }

    bool IsName(std::string_view name)
    {
        return !name.empty() && IsNameStart(name.front())
            && std::all_of(name.begin(), name.end(), IsNameChar);
    }

    enum class TConversion { Default, Escape, Unescape, None };

    // One variable reference: how many characters it takes, the name and the conversion asked for.
    struct TReference {
        std::size_t Length = 0;
        std::string_view Name;
        TConversion Conversion = TConversion::Default;
    };

    bool ReadConversion(std::string_view word, TConversion& conversion)
    {
        if (word.empty())
            conversion = TConversion::Default;
        else if (word == "escape" || word == "e")
            conversion = TConversion::Escape;
        else if (word == "unesc" || word == "u")
            conversion = TConversion::Unescape;
        else if (word == "noesc" || word == "n" || word == "N")
            conversion = TConversion::None;
        else
            return false;
        return true;
    }

    // The reference that begins with the "$" at text[pos]: $(name), $(name:conversion) or $name,
    // where a name is a letter or "_" followed by letters, digits and "_". Length 0 when the text
    // there is no reference. Only the reference's own characters are read, so a text of many
    // openings is read in linear time.
    TReference ReadReference(std::string_view text, std::size_t pos)
    {
        constexpr std::size_t kLongestConversion = 6;
        TReference reference;
        const bool bracketed = pos + 1 < text.size() && text[pos + 1] == '(';
        const std::size_t start = std::min(pos + (bracketed ? 2 : 1), text.size());
        std::size_t end = start;
        while (end < text.size() && IsNameChar(text[end]))
            ++end;
        const std::string_view name = text.substr(start, end - start);
        if (!IsName(name))
            return reference;
        if (!bracketed) {
            reference.Name = name;
            reference.Length = end - pos;
            return reference;
        }
        std::size_t close = end;
        if (close < text.size() && text[close] == ':') {
            const std::string_view tail = text.substr(end + 1, kLongestConversion + 1);
            const std::size_t paren = tail.find(')');
            if (paren == std::string_view::npos
                || !ReadConversion(tail.substr(0, paren), reference.Conversion))
                return reference;
            close = end + 1 + paren;
        }
        if (close >= text.size() || text[close] != ')')
            return reference;
        reference.Name = name;
        reference.Length = close + 1 - pos;
        return reference;
    }

    enum class TDollars { Keep, Collapse };

    // Replaces every reference by what value gives for it (nullopt leaves it as written). "$$"
    // is never the start of a reference: it becomes "$" or stays "$$".
    template <typename Value> std::string Substitute(std::string_view text, TDollars dollars, Value value)
    {
        if (text.find('$') == std::string_view::npos)
            return std::string(text);
        std::string out;
        out.reserve(text.size());
        std::size_t i = 0;
        while (i < text.size()) {
            const std::size_t dollar = text.find('$', i);
            out.append(text.substr(i, dollar - i));
            if (dollar == std::string_view::npos)
                break;
            if (dollar + 1 < text.size() && text[dollar + 1] == '$') {
                out.append(dollars == TDollars::Keep ? "$$" : "$");
                i = dollar + 2;
                continue;
            }
            const TReference reference = ReadReference(text, dollar);
            std::optional<std::string> replacement;
            if (reference.Length > 0)
                replacement = value(reference);
            if (replacement) {
                out.append(*replacement);
                i = dollar + reference.Length;
            } else {
                out.push_back('$');
                i = dollar + 1;
            }
        }
        return out;
    }

    // Whether an input's value fits its format mask: one that does not is no value of its variable.
    bool FitsItsFormat(const wml::TWMLObject& input)
    {
        const std::string_view code = input.WMLCode;
        const wml::TEmptyInput empty = wml::EmptyInputFromAttribute(
            wml::GetAttributeView("emptyok", code, ""), code.find("emptyok=") != std::string_view::npos);
        return wml::FitInputFormat(wml::GetAttributeView("format", code, ""), input.GetVarValue(), empty)
            == wml::TFormatFit::Complete;
    }

    // The address with the pairs added to its query, in front of its fragment.
    std::string WithQuery(const std::string& url, const std::string& pairs)
    {
        if (pairs.empty())
            return url;
        const std::size_t hash = url.find('#');
        std::string address = url.substr(0, hash);
        const std::string fragment = hash == std::string::npos ? std::string() : url.substr(hash);
        if (address.find('?') == std::string::npos)
            address.push_back('?');
        else if (address.back() != '?' && address.back() != '&')
            address.push_back('&');
        return address + pairs + fragment;
    }

    // The value as the reference's conversion asks; a reference without one takes fallback. Escaping
    // works on the value freed of its entities, as the address will show it.
    std::string Converted(const std::string& value, TConversion conversion, TConversion fallback)
    {
        if (conversion == TConversion::Default)
            conversion = fallback;
        switch (conversion) {
        case TConversion::Escape:
            return UrlEscape(wml::DecodeEntityTable(value));
        case TConversion::Unescape:
            return UrlUnescape(value);
        case TConversion::Default:
        case TConversion::None:
            break;
        }
        return value;
    }

    bool IsUnreserved(unsigned char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
            || c == '_' || c == '.' || c == '~';
    }

    void AppendPercent(std::string& out, unsigned char c)
    {
        constexpr std::string_view kHex = "0123456789ABCDEF";
        out.push_back('%');
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 0x0F]);
    }

    // Calls visit for every element record of every card, in deck order.
    template <typename Deck, typename Visit> void ForEachRecord(Deck& deck, Visit visit)
    {
        for (auto& entry : deck.CardList) {
            if (!entry.Card)
                continue;
            for (auto& element : entry.Card->Elements) {
                if (element.Object)
                    visit(*element.Object);
            }
        }
    }

} // namespace

std::string TWMLBrowser::ReplaceVariables(std::string_view url, bool post)
{
    return ReplaceVariables(url, post, m_taskFields);
}

std::string TWMLBrowser::ReplaceVariables(std::string_view url, bool post, const wml::TWMLPostFields& fields)
{
    // A name that nothing holds stays in the address as written; "$$" is left for the resolver.
    std::string result = Substitute(url, TDollars::Keep, [this](const TReference& reference) {
        std::optional<std::string> value;
        if (IsKnownVariable(reference.Name))
            value = Converted(GetVariable(reference.Name), reference.Conversion, TConversion::Escape);
        return value;
    });
    SendStream.reset();
    // A deck without cards hands over no body, and the client then has nothing to post; a GET
    // hands over an empty one and carries the task's fields in its query.
    if (!WMLDeck.CardList.empty())
        SendStream = post ? FormData(fields) : std::string();
    if (!post && !fields.empty())
        result = WithQuery(result, FormData(fields));
    return result;
}

std::string TWMLBrowser::FormData(const wml::TWMLPostFields& fields) const
{
    std::string body;
    for (const wml::TWMLPostField& field : fields) {
        const std::string value
            = Substitute(field.Value, TDollars::Collapse, [this](const TReference& reference) {
                  return std::optional<std::string>(
                      Converted(GetVariable(reference.Name), reference.Conversion, TConversion::None));
              });
        if (!body.empty())
            body.push_back('&');
        body += FormEncode(wml::DecodeEntityTable(field.Name));
        body.push_back('=');
        body += FormEncode(wml::DecodeEntityTable(value));
    }
    return body;
}

std::string TWMLBrowser::ReplaceVar(std::string_view text, std::string_view name, std::string_view value)
{
    if (name.empty() || text.find('$') == std::string_view::npos)
        return std::string(text);
    const std::string escaped = UrlEscape(wml::DecodeEntityTable(value));
    const std::string unescaped = UrlUnescape(value);
    const std::string bare(name);
    const std::array<std::pair<std::string, std::string_view>, 7> forms { {
        { "$(" + bare + ")", escaped },
        { "$" + bare, escaped },
        { "$(" + bare + ":escape)", escaped },
        { "$(" + bare + ":e)", escaped },
        { "$(" + bare + ":unesc)", unescaped },
        { "$(" + bare + ":u)", unescaped },
        { "$(" + bare + ":N)", value },
    } };
    std::string result(text);
    for (const auto& [pattern, replacement] : forms)
        result = ReplaceEach(result, pattern, replacement);
    return result;
}

std::string TWMLBrowser::GetVariable(std::string_view name) const
{
    if (const auto found = m_context.find(name); found != m_context.end())
        return found->second;
    std::optional<std::string> value;
    ForEachRecord(WMLDeck, [&](const wml::TWMLObject& record) {
        if (value || record.GetVarName().empty() || record.VarObject->PostVariable)
            return;
        if (record.VarObject->VarName == name)
            value = record.GetVarValue();
        else if (record.VarObject->iVarName == name)
            value = record.GetIVarValue();
    });
    return value.value_or(std::string());
}

std::vector<std::pair<std::string, std::string>> TWMLBrowser::DeckVariables() const
{
    std::vector<std::pair<std::string, std::string>> variables;
    std::map<std::string_view, std::size_t, std::less<>> seen;
    const auto note = [&](const std::string& name, const std::string& value) {
        if (name.empty() || !seen.try_emplace(name, variables.size()).second)
            return;
        const auto set = m_context.find(name);
        variables.emplace_back(name, set != m_context.end() ? set->second : value);
    };
    ForEachRecord(WMLDeck, [&](const wml::TWMLObject& record) {
        if (record.VarObject->PostVariable)
            return;
        note(record.GetVarName(), record.GetVarValue());
        note(record.GetIVarName(), record.GetIVarValue());
    });
    return variables;
}

bool TWMLBrowser::IsKnownVariable(std::string_view name) const
{
    if (m_context.find(name) != m_context.end())
        return true;
    bool known = false;
    ForEachRecord(WMLDeck, [&](const wml::TWMLObject& record) {
        const wml::TWMLVariable& variable = *record.VarObject;
        if (!record.GetVarName().empty() && !variable.PostVariable
            && (variable.VarName == name || variable.iVarName == name))
            known = true;
    });
    return known;
}

void TWMLBrowser::SetVariable(std::string_view name, std::string_view value)
{
    if (name.empty())
        return;
    m_context.insert_or_assign(std::string(name), std::string(value));
    // Post fields are not variables: their values are what the deck wrote.
    ForEachRecord(WMLDeck, [&](wml::TWMLObject& record) {
        if (record.GetVarName().empty() || record.VarObject->PostVariable)
            return;
        wml::TWMLVariable& variable = record.VarObject.Edit();
        if (variable.VarName == name) {
            variable.VarValue = value;
            variable.DefaultValue = value;
        } else if (variable.iVarName == name) {
            variable.iVarValue = value;
            variable.DefaultIValue = value;
        }
    });
}

void TWMLBrowser::ApplySetVars(const wml::TWMLVariable& varObject)
{
    ApplySetVars(varObject.SetVarNames, varObject.SetVarValues);
}

void TWMLBrowser::ApplySetVars(const base::TStringList& names, const base::TStringList& values)
{
    // A value list shorter than the name list leaves the unmatched names alone.
    std::size_t count = std::min(names.size(), values.size());
    for (std::size_t i = 0; i < count; ++i)
        SetVariable(names[i], values[i]);
}

std::string TWMLBrowser::ExpandText(std::string_view text) const
{
    const std::string expanded = Substitute(text, TDollars::Collapse, [this](const TReference& reference) {
        return std::optional<std::string>(
            Converted(GetVariable(reference.Name), reference.Conversion, TConversion::None));
    });
    return DecodeEntities(expanded);
}

void TWMLBrowser::ApplyContextToDeck()
{
    if (m_context.empty())
        return;
    ForEachRecord(WMLDeck, [this](wml::TWMLObject& record) {
        if (record.GetVarName().empty() || record.VarObject->PostVariable)
            return;
        wml::TWMLVariable& variable = record.VarObject.Edit();
        if (const auto found = m_context.find(variable.VarName); found != m_context.end()) {
            variable.VarValue = found->second;
            variable.DefaultValue = found->second;
        }
        if (const auto found = m_context.find(variable.iVarName); found != m_context.end()) {
            variable.iVarValue = found->second;
            variable.DefaultIValue = found->second;
        }
    });
}

void TWMLBrowser::SeedContext(const wml::TWMLCard& card)
{
    // A variable the context lacks takes the initial value of the card's input or list, as the
    // card shows it.
    for (const wml::TWMLElement& element : card.Elements) {
        if (!element.Object || element.Object->VarObject->PostVariable)
            continue;
        const wml::TWMLObject& record = *element.Object;
        if (record.Class() == wml::TWMLClass::Input && !FitsItsFormat(record))
            continue;
        if (IsNamedVariable(record.GetVarName()) && !record.GetVarValue().empty())
            m_context.try_emplace(record.GetVarName(), record.GetVarValue());
        if (IsNamedVariable(record.GetIVarName()) && !record.GetIVarValue().empty())
            m_context.try_emplace(record.GetIVarName(), record.GetIVarValue());
    }
}

std::string TWMLBrowser::DecodeEntities(std::string_view text)
{
    return wml::DecodeEntities(text);
}

bool IsNamedVariable(std::string_view name)
{
    return !name.empty() && name != "VarX" && name != "VarIX";
}

std::string UrlEscape(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte))
            out.push_back(c);
        else
            AppendPercent(out, byte);
    }
    return out;
}

std::string UrlUnescape(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            const int high = base::HexDigitValue(value[i + 1]);
            const int low = base::HexDigitValue(value[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(value[i]);
    }
    return out;
}

std::string FormEncode(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        auto byte = static_cast<unsigned char>(c);
        if (c == ' ')
            out.push_back('+');
        else if (IsUnreserved(byte))
            out.push_back(c);
        else
            AppendPercent(out, byte);
    }
    return out;
}

} // namespace pivrel::engine
