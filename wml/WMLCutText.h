#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace pivrel::wml {

inline constexpr std::size_t kNotFound = std::string_view::npos;

// The first occurrence of pattern in text at or after from, like std::string_view::find, but
// quick on the short patterns that start with "<" and recur all through WML text.
std::size_t FindText(std::string_view text, std::string_view pattern, std::size_t from = 0);

// A run of characters inside a text: Pos and Count. Count 0 means nothing was found.
struct TTextRange {
    std::size_t Pos = kNotFound;
    std::size_t Count = 0;

    bool Found() const { return Count > 0; }

    std::size_t End() const { return Pos + Count; }
};

// The range that an element search yields, from the positions the search found (0-based): p is the
// "<tag", gt the first ">" at or after p (kNotFound when none), selfClosing whether that ">" ends a
// "/>", close the first closing tag anywhere in the text (kNotFound when none), closeLen the length
// of the closing tag text and size the length of the searched text. The closing tag may lie before
// p, in which case nothing or only a stub is found; the count is clamped to the text.
TTextRange ElementRangeAt(std::size_t p, std::size_t gt, bool selfClosing, std::size_t close,
    std::size_t closeLen, std::size_t size);

// A text that elements are cut out of one after another: the part kept so far, followed by the
// unread rest of a source text that is never copied. Each search pattern has a slot that remembers
// its last answer, so that a text cut from the front (or cut just after a short kept part) is
// searched about once overall rather than once per cut. Positions are 0-based in the current text.
// The source must outlive the cut text.
class TCutText
{
public:
    explicit TCutText(std::string_view source);

    // The pattern must outlive the cut text (a literal, as a rule).
    int AddPattern(std::string_view pattern);

    std::size_t PatternSize(int slot) const { return m_slots[slot].PatternSize; }

    // The first occurrence of the slot's pattern starting at or after from, or kNotFound.
    std::size_t Find(int slot, std::size_t from = 0);

    std::size_t Size() const { return m_kept.size() + (m_source.size() - m_rest); }

    bool KeptEmpty() const { return m_kept.empty(); }

    // The length of the kept part, which comes first in the text; RestView reads past it.
    std::size_t KeptSize() const { return m_kept.size(); }

    char At(std::size_t pos) const;
    std::string Extract(std::size_t pos, std::size_t count) const;
    // The characters [pos, pos + count) as a view of the source; only for pos at or after the kept
    // part, which is always the case while cuts are taken from the front only.
    std::string_view RestView(std::size_t pos, std::size_t count) const;
    void Remove(std::size_t pos, std::size_t count);

private:
    // Set whole by AddPattern: the slots past the count are never read, and leaving them unset
    // spares every cut text the writing of the whole array.
    struct TSlot {
        const char* PatternData;
        std::size_t PatternSize;
        // Where the character the search scans for stands in the pattern; kNotFound until the
        // first search.
        std::size_t Anchor;
        // Search within the kept part, for occurrences starting at or after KeptFrom.
        std::size_t KeptFrom;
        std::size_t KeptHit;
        std::size_t KeptScanned;
        // Last search within the source: started at RestFrom, answered RestHit.
        std::size_t RestFrom;
        std::size_t RestHit;
    };

    static std::string_view Pattern(const TSlot& slot) { return { slot.PatternData, slot.PatternSize }; }

    std::size_t FindInKept(TSlot& slot, std::size_t from);
    std::size_t FindAcrossJunction(const TSlot& slot, std::size_t from) const;
    std::size_t FindInRest(TSlot& slot, std::size_t from);
    void ForgetKeptFrom(std::size_t pos);

    std::string m_kept;
    static constexpr std::size_t kMaxSlots = 56;

    std::string_view m_source;
    std::size_t m_rest = 0;
    // Kept in place: a cut text is made for every card, select, button and go element.
    std::array<TSlot, kMaxSlots> m_slots;
    std::size_t m_slotCount = 0;
};

// The search slots of one tag in a cut text.
struct TElementSlots {
    int Open = -1;
    int Close = -1;
    int Gt = -1;
    std::size_t OpenLen = 0;
    std::size_t CloseLen = 0;
};

// open is "<" and the tag, close "</", the tag and ">"; both must outlive the cut text.
TElementSlots AddElementSlots(TCutText& text, std::string_view open, std::string_view close);

// What GetElement finds (and DeleteElement, except for comments, removes) in the first limit
// characters of the text.
TTextRange FindElement(TCutText& text, const TElementSlots& slots, std::size_t limit);

// The search slots of one attribute name in a cut text.
struct TAttributeSlots {
    int Key = -1;
    int Quote = -1;
    std::size_t KeyLen = 0;
};

// key is the attribute name followed by "="; it must outlive the cut text.
TAttributeSlots AddAttributeSlots(TCutText& text, std::string_view key);

// The value GetAttribute reads from the characters [from, limit) of the text: true with its range,
// or false when the key does not occur there.
bool FindAttribute(
    TCutText& text, const TAttributeSlots& slots, std::size_t from, std::size_t limit, TTextRange& value);

} // namespace pivrel::wml
