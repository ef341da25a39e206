#include "engine/WMLBrowser.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace pivrel;

// The input is cut at newlines into the values of a small fixed deck; the whole input is then the text,
// the address and the entity text that the substitutions work on.
std::vector<std::string> Pieces(std::string_view input, std::size_t count)
{
    std::vector<std::string> pieces;
    while (pieces.size() + 1 < count) {
        std::size_t newline = input.find('\n');
        if (newline == std::string_view::npos)
            break;
        pieces.emplace_back(input.substr(0, newline));
        input.remove_prefix(newline + 1);
    }
    pieces.emplace_back(input);
    pieces.resize(count);
    return pieces;
}

template <typename Record> Record& Add(wml::TWMLCard& card, const std::string& key)
{
    auto record = std::make_unique<Record>();
    Record& result = *record;
    card.Elements.push_back({ key, std::move(record) });
    return result;
}

void BuildDeck(engine::TWMLBrowser& browser, const std::vector<std::string>& values)
{
    auto first = std::make_unique<wml::TWMLCard>();
    auto& input = Add<wml::TWMLInput>(*first, "");
    input.VarObject.Edit().VarName = "q";
    input.VarObject.Edit().VarValue = values[0];
    auto& select = Add<wml::TWMLSelect>(*first, "Select");
    select.VarObject.Edit().VarName = "s";
    select.VarObject.Edit().VarValue = values[1];
    select.VarObject.Edit().iVarName = "is";
    select.VarObject.Edit().iVarValue = values[2];
    auto& field = Add<wml::TWMLPostVariable>(*first, "postfield");
    field.VarObject.Edit().VarName = values[3];
    field.VarObject.Edit().VarValue = values[4];
    field.VarObject.Edit().PostVariable = true;

    auto second = std::make_unique<wml::TWMLCard>();
    auto& named = Add<wml::TWMLInput>(*second, "");
    named.VarObject.Edit().VarName = values[3];
    named.VarObject.Edit().DefaultValue = values[4];
    auto& reference = Add<wml::TWMLPostVariable>(*second, "postfield");
    reference.VarObject.Edit().VarName = "p";
    reference.VarObject.Edit().VarValue = "$(q)";
    reference.VarObject.Edit().PostVariable = true;

    browser.WMLDeck.CardList.push_back({ "one", std::move(first) });
    browser.WMLDeck.CardList.push_back({ "two", std::move(second) });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> values = Pieces(input, 5);
    engine::TWMLBrowser browser;
    BuildDeck(browser, values);

    browser.ExpandText(input);
    browser.ReplaceVariables(input, true);
    const std::string text(input);
    browser.ReplaceVariables(input, false, { { values[3], values[4] }, { "p", text } });
    browser.FormData({ { values[0], text } });
    engine::TWMLBrowser::DecodeEntities(input);
    engine::TWMLBrowser::ReplaceVar(input, values[3], values[0]);
    engine::UrlUnescape(input);
    return 0;
}
