#pragma once

#include "engine/URLParser.h"
#include "engine/WMLHistory.h"
#include "wml/Entities.h"
#include "wml/WMLDeck.h"

#include <optional>
#include <string>
#include <string_view>

namespace pivrel::engine {

// The browser engine: owns the deck, the URL parser and the history, and hosts the variable
// operations over the deck's element records. Fetching arrives with the network transport.
class TWMLBrowser
{
public:
    TWMLBrowser();

    TWMLHistory History;
    wml::TWMLDeck WMLDeck;
    TURLParser URLParser;

    // The request body that ReplaceVariables hands over for a POST; empty optional while the deck
    // had no card to build one from.
    std::optional<std::string> SendStream;

    // Writes the deck's variables into the address; when post is true also builds the POST body
    // (application/x-www-form-urlencoded) into SendStream.
    std::string ReplaceVariables(std::string_view url, bool post);
    // Replaces every reference to name in text by value, converted as each reference form asks:
    // $(name), $name, :escape and :e URL-escape the value freed of its entities; :unesc and :u
    // decode its %XX sequences; :N leaves it as it is.
    static std::string ReplaceVar(std::string_view text, std::string_view name, std::string_view value);
    std::string GetVariable(std::string_view name) const;
    void SetVariable(std::string_view name, std::string_view value);
    void ApplySetVars(const wml::TWMLVariable& varObject);
    // The text as shown: the first variable reference expanded, "$$" made "$", entities decoded.
    std::string ExpandText(std::string_view text) const;
    static std::string DecodeEntities(std::string_view text);

private:
    void AppendPostPair(std::string& body, const wml::TWMLVariable& variable) const;
};

// Every byte outside A-Z a-z 0-9 - _ . ~ as %XX with upper-case hex digits.
std::string UrlEscape(std::string_view value);
// Each %XX with two hex digits becomes its byte; anything else stays.
std::string UrlUnescape(std::string_view value);
// application/x-www-form-urlencoded: a blank as "+", other bytes as UrlEscape does.
std::string FormEncode(std::string_view value);

} // namespace pivrel::engine
