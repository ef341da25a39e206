#include "engine/Wmlc.h"
#include "wml/Charset.h"
#include "wml/WMLDeck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

// A body served as a compiled deck, taken the way the engine takes it: decoded, then parsed as
// the deck's text. The decoder must keep its text limit and always say why it failed.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pivrel;
    constexpr std::size_t kLimit = 1 << 20;
    const engine::TWmlcResult result
        = engine::DecodeWmlc(std::string_view(reinterpret_cast<const char*>(data), size), kLimit);
    if (!result.Ok && result.Reason.empty())
        std::abort();
    if (!result.Ok)
        return 0;
    if (result.Text.empty() || result.Text.size() > kLimit)
        std::abort();
    wml::TWMLDeck deck;
    deck.Parse(base::SplitLines(wml::DeckTextToUtf8(result.Text)));
    return 0;
}
