#include "base/Hex.h"
#include "engine/WMLBrowser.h"

#include <algorithm>
#include <array>
#include <vector>

namespace pivrel::engine {

namespace {

    constexpr char kDollarPlaceholder = '\x01';

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

    // The name a reference stands for: the text after "$(" or "$", cut at the first ":" and the first ")".
    std::string_view ReferenceName(std::string_view reference)
    {
        if (reference.starts_with("$("))
            reference.remove_prefix(2);
        else if (reference.starts_with("$"))
            reference.remove_prefix(1);
        reference = reference.substr(0, reference.find(':'));
        return reference.substr(0, reference.find(')'));
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
    std::string result(url);
    std::string body;
    SendStream.reset();
    for (auto& entry : WMLDeck.CardList) {
        if (!entry.Card)
            continue;
        for (auto& element : entry.Card->Elements) {
            if (!element.Object)
                continue;
            const wml::TWMLObject& record = *element.Object;
            if (record.GetVarName().empty() && record.GetIVarName().empty())
                continue;
            if (!record.VarObject.PostVariable) {
                result = ReplaceVar(result, record.GetVarName(), record.GetVarValue());
                result = ReplaceVar(result, record.GetIVarName(), record.GetIVarValue());
            } else if (post) {
                AppendPostPair(body, record.VarObject);
            }
        }
        // The body built so far is handed over after every card; a deck without cards hands over none.
        SendStream = body;
    }
    return result;
}

void TWMLBrowser::AppendPostPair(std::string& body, const wml::TWMLVariable& variable) const
{
    std::string value = variable.VarValue;
    // A value that begins with "$" is a bare reference; one that merely contains one is sent as written.
    if (value.starts_with("$"))
        value = GetVariable(ReferenceName(value));
    if (!body.empty())
        body.push_back('&');
    body += FormEncode(wml::DecodeEntityTable(variable.VarName));
    body.push_back('=');
    body += FormEncode(wml::DecodeEntityTable(value));
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
    std::string result;
    auto add = [&result](const std::string& value) {
        if (result.empty())
            result = value;
        else
            result += ";" + value;
    };
    ForEachRecord(WMLDeck, [&](const wml::TWMLObject& record) {
        const wml::TWMLVariable& variable = record.VarObject;
        if (record.GetVarName().empty() || variable.PostVariable)
            return;
        if (variable.VarName == name)
            add(variable.VarValue);
        else if (variable.iVarName == name)
            add(variable.iVarValue);
    });
    return result;
}

void TWMLBrowser::SetVariable(std::string_view name, std::string_view value)
{
    ForEachRecord(WMLDeck, [&](wml::TWMLObject& record) {
        wml::TWMLVariable& variable = record.VarObject;
        if (record.GetVarName().empty())
            return;
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
    // A value list shorter than the name list leaves the unmatched names alone.
    std::size_t count = std::min(varObject.SetVarNames.size(), varObject.SetVarValues.size());
    for (std::size_t i = 0; i < count; ++i)
        SetVariable(varObject.SetVarNames[i], varObject.SetVarValues[i]);
}

std::string TWMLBrowser::ExpandText(std::string_view text) const
{
    std::string work = ReplaceEach(text, "$$", std::string_view(&kDollarPlaceholder, 1));
    std::size_t open = work.find("$(");
    if (open != std::string::npos) {
        std::size_t close = work.find(')', open);
        if (close != std::string::npos) {
            std::string reference = work.substr(open, close - open + 1);
            work.erase(open, close - open + 1);
            work.insert(open, GetVariable(ReferenceName(reference)));
        } else {
            // Without a closing ")" the reference is empty: nothing is cut, the empty name's value goes in.
            work.insert(open, GetVariable({}));
        }
    } else if (std::size_t dollar = work.find('$'); dollar != std::string::npos) {
        if (dollar + 1 < work.size() && work[dollar + 1] != ' ') {
            std::size_t end = work.find(' ', dollar);
            if (end == std::string::npos)
                end = work.size();
            std::string name = work.substr(dollar + 1, end - dollar - 1);
            work.replace(dollar, end - dollar, GetVariable(name));
        }
    }
    for (char& c : work) {
        if (c == kDollarPlaceholder)
            c = '$';
    }
    return DecodeEntities(work);
}

std::string TWMLBrowser::DecodeEntities(std::string_view text)
{
    return wml::DecodeEntities(text);
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
