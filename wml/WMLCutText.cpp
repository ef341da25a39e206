#include "wml/WMLCutText.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pivrel::wml {

namespace {

    bool MatchesAt(const char* p, const char* want, std::size_t n)
    {
        std::size_t i = 0;
        while (i < n && p[i] == want[i])
            ++i;
        return i == n;
    }

    // Where the scan's key character stands in the pattern: its first "=", else its first "<",
    // else its first character ("=" of an attribute key or the "<" of a tag is far rarer in WML
    // than a letter). Patterns are a few characters long and searched for hundreds of
    // thousands of times a deck, so this is a plain loop rather than two library searches.
    std::size_t AnchorOf(std::string_view pattern)
    {
        std::size_t lt = std::string_view::npos;
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            if (pattern[i] == '=')
                return i;
            if (pattern[i] == '<' && lt == std::string_view::npos)
                lt = i;
        }
        return lt == std::string_view::npos ? 0 : lt;
    }

#if defined(__SSE2__)
    // The key character, the pattern's other tested character and how far that lies from the key
    // (before it when negative).
    struct TKeyPair {
        char Key;
        char Other;
        std::ptrdiff_t Distance;
    };

    // One bit for each of the sixteen key positions from p on where both characters stand.
    // The second block lies Distance characters from the first; both stay inside the text as long
    // as every position of the first may hold a key.
    unsigned CandidateMask(const char* p, const TKeyPair& keys)
    {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + keys.Distance));
        const __m128i both = _mm_and_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(keys.Key)),
            _mm_cmpeq_epi8(second, _mm_set1_epi8(keys.Other)));
        return static_cast<unsigned>(_mm_movemask_epi8(both));
    }

    // The start of the first candidate of the mask that matches the pattern, or null.
    const char* FirstMatchInBlock(
        const char* p, unsigned mask, std::size_t anchor, const char* want, std::size_t n)
    {
        for (; mask != 0; mask &= mask - 1) {
            const char* candidate = p + __builtin_ctz(mask) - anchor;
            if (MatchesAt(candidate, want, n))
                return candidate;
        }
        return nullptr;
    }
#endif

} // namespace

namespace {

    // FindText with the pattern's key position already known.
    std::size_t FindFromAnchor(
        std::string_view text, std::string_view pattern, std::size_t anchor, std::size_t from)
    {
        const std::size_t n = pattern.size();
        if (n == 0)
            return from <= text.size() ? from : kNotFound;
        if (from >= text.size() || text.size() - from < n)
            return kNotFound;
        const char* const begin = text.data();
        const char* const want = pattern.data();
        const char key = want[anchor];
        // Key characters may stand in [first, last]; a match starts anchor characters before its key.
        const char* p = begin + from + anchor;
        const char* const last = begin + (text.size() - n) + anchor;
#if defined(__SSE2__)
        // Tags lie a few characters apart, so the candidates of sixteen characters are found at once
        // rather than by a call per candidate. A candidate must also hold the pattern's last character
        // in its place (or, for a key at the end, its first): a card has a "<" every few characters
        // and a few dozen tag patterns to look for, and most of those "<" begin another tag.
        const std::size_t other = anchor + 1 < n ? n - 1 : 0;
        const TKeyPair keys { key, want[other],
            static_cast<std::ptrdiff_t>(other) - static_cast<std::ptrdiff_t>(anchor) };
        while (last - p >= 15) {
            if (const char* hit = FirstMatchInBlock(p, CandidateMask(p, keys), anchor, want, n))
                return static_cast<std::size_t>(hit - begin);
            p += 16;
        }
        // The last few key positions: the block that ends at the last one, less what was looked at.
        if (p <= last && last - (begin + anchor) >= 15) {
            const char* block = last - 15;
            const unsigned unseen = CandidateMask(block, keys) & (0xFFFFu << (p - block));
            const char* hit = FirstMatchInBlock(block, unseen, anchor, want, n);
            return hit != nullptr ? static_cast<std::size_t>(hit - begin) : kNotFound;
        }
#endif
        // Fewer than sixteen key positions in all (or no SSE2): one at a time.
        for (; p <= last; ++p) {
            if (*p == key && MatchesAt(p - anchor, want, n))
                return static_cast<std::size_t>(p - anchor - begin);
        }
        return kNotFound;
    }

} // namespace

std::size_t FindText(std::string_view text, std::string_view pattern, std::size_t from)
{
    return FindFromAnchor(text, pattern, AnchorOf(pattern), from);
}

TTextRange ElementRangeAt(std::size_t p, std::size_t gt, bool selfClosing, std::size_t close,
    std::size_t closeLen, std::size_t size)
{
    // The rule is stated with 1-based positions: m is the ">" of a self-closing start tag, q the
    // closing tag (or m + 1 when there is none).
    const long long p1 = static_cast<long long>(p) + 1;
    const long long m = (gt != kNotFound && selfClosing) ? static_cast<long long>(gt) + 1 : 0;
    const long long q = close != kNotFound ? static_cast<long long>(close) + 1 : m + 1;
    if (m >= 1 && q > m)
        return { p, gt + 1 - p };
    const long long count = static_cast<long long>(closeLen) + q - p1;
    if (count < 1 || p >= size)
        return {};
    return { p, std::min(static_cast<std::size_t>(count), size - p) };
}

TCutText::TCutText(std::string_view source)
    : m_source(source)
{ }

int TCutText::AddPattern(std::string_view pattern)
{
    // The set of patterns is fixed by the parsers; running out of slots is a programming error.
    if (m_slotCount == kMaxSlots)
        std::abort();
    m_slots[m_slotCount] = TSlot { .PatternData = pattern.data(),
        .PatternSize = pattern.size(),
        .Anchor = kNotFound,
        .KeptFrom = kNotFound,
        .KeptHit = kNotFound,
        .KeptScanned = 0,
        .RestFrom = kNotFound,
        .RestHit = kNotFound };
    return static_cast<int>(m_slotCount++);
}

char TCutText::At(std::size_t pos) const
{
    return pos < m_kept.size() ? m_kept[pos] : m_source[m_rest + (pos - m_kept.size())];
}

std::size_t TCutText::Find(int slotIndex, std::size_t from)
{
    TSlot& slot = m_slots[slotIndex];
    // Worked out at the first search: of the fifty patterns a card reader adds, some are never
    // looked for.
    if (slot.Anchor == kNotFound)
        slot.Anchor = AnchorOf(Pattern(slot));
    if (from < m_kept.size()) {
        std::size_t hit = FindInKept(slot, from);
        if (hit == kNotFound)
            hit = FindAcrossJunction(slot, from);
        if (hit != kNotFound)
            return hit;
    }
    return FindInRest(slot, from);
}

std::size_t TCutText::FindInKept(TSlot& slot, std::size_t from)
{
    const std::size_t n = slot.PatternSize;
    if (slot.KeptFrom != from) {
        slot.KeptFrom = from;
        slot.KeptHit = kNotFound;
        slot.KeptScanned = from;
    }
    // Occurrences ending within the part scanned before were already looked at; the kept part
    // only grows at its end between cuts.
    if (slot.KeptHit == kNotFound && slot.KeptScanned < m_kept.size()) {
        const std::size_t resume = slot.KeptScanned + 1 >= n ? slot.KeptScanned + 1 - n : 0;
        slot.KeptHit = FindFromAnchor(m_kept, Pattern(slot), slot.Anchor, std::max(from, resume));
        slot.KeptScanned = m_kept.size();
    }
    return slot.KeptHit;
}

std::size_t TCutText::FindAcrossJunction(const TSlot& slot, std::size_t from) const
{
    const std::size_t n = slot.PatternSize;
    const std::size_t k = m_kept.size();
    const std::size_t start = std::max(from, k + 1 >= n ? k + 1 - n : 0);
    if (n < 2 || start >= k)
        return kNotFound;
    // The kept part's end and the source's next characters, each shorter than the pattern; for the
    // short patterns of the parsers they are put together on the stack.
    const std::string_view keptEnd = std::string_view(m_kept).substr(start);
    const std::string_view restStart = m_source.substr(m_rest, n - 1);
    char buffer[128];
    std::string heap;
    std::string_view joint;
    if (keptEnd.size() + restStart.size() <= sizeof buffer) {
        std::memcpy(buffer, keptEnd.data(), keptEnd.size());
        if (!restStart.empty())
            std::memcpy(buffer + keptEnd.size(), restStart.data(), restStart.size());
        joint = std::string_view(buffer, keptEnd.size() + restStart.size());
    } else {
        heap.append(keptEnd).append(restStart);
        joint = heap;
    }
    const std::size_t hit = joint.find(Pattern(slot));
    return (hit != std::string_view::npos && start + hit < k) ? start + hit : kNotFound;
}

std::size_t TCutText::FindInRest(TSlot& slot, std::size_t from)
{
    const std::size_t k = m_kept.size();
    const std::size_t restFrom = m_rest + (from > k ? from - k : 0);
    if (restFrom > m_source.size())
        return kNotFound;
    // An earlier answer stays right for any later start up to it, since the source never changes.
    const bool known = slot.RestFrom != kNotFound && restFrom >= slot.RestFrom
        && (slot.RestHit == kNotFound || restFrom <= slot.RestHit);
    if (!known) {
        slot.RestFrom = restFrom;
        slot.RestHit = FindFromAnchor(m_source, Pattern(slot), slot.Anchor, restFrom);
    }
    return slot.RestHit == kNotFound ? kNotFound : k + (slot.RestHit - m_rest);
}

std::string TCutText::Extract(std::size_t pos, std::size_t count) const
{
    std::string out;
    const std::size_t size = Size();
    if (pos >= size)
        return out;
    count = std::min(count, size - pos);
    out.reserve(count);
    const std::size_t k = m_kept.size();
    if (pos < k) {
        const std::size_t fromKept = std::min(count, k - pos);
        out.append(m_kept, pos, fromKept);
        pos += fromKept;
        count -= fromKept;
    }
    if (count > 0)
        out.append(m_source.substr(m_rest + (pos - k), count));
    return out;
}

std::string_view TCutText::RestView(std::size_t pos, std::size_t count) const
{
    const std::size_t k = m_kept.size();
    if (pos < k)
        return {};
    return m_source.substr(std::min(m_source.size(), m_rest + (pos - k)), count);
}

void TCutText::ForgetKeptFrom(std::size_t pos)
{
    for (std::size_t i = 0; i < m_slotCount; ++i) {
        TSlot& slot = m_slots[i];
        if (slot.KeptFrom != kNotFound && slot.KeptFrom > pos) {
            slot.KeptFrom = kNotFound;
            continue;
        }
        if (slot.KeptHit != kNotFound && slot.KeptHit + slot.PatternSize > pos)
            slot.KeptHit = kNotFound;
        slot.KeptScanned = std::min(slot.KeptScanned, pos);
    }
}

void TCutText::Remove(std::size_t pos, std::size_t count)
{
    const std::size_t k = m_kept.size();
    if (pos < k) {
        const std::size_t fromKept = std::min(count, k - pos);
        m_kept.erase(pos, fromKept);
        ForgetKeptFrom(pos);
        m_rest = std::min(m_source.size(), m_rest + (count - fromKept));
        return;
    }
    const std::size_t skip = std::min(pos - k, m_source.size() - m_rest);
    m_kept.append(m_source.substr(m_rest, skip));
    m_rest = std::min(m_source.size(), m_rest + skip + count);
}

TElementSlots AddElementSlots(TCutText& text, std::string_view open, std::string_view close)
{
    TElementSlots slots;
    slots.Open = text.AddPattern(open);
    slots.Close = text.AddPattern(close);
    slots.Gt = text.AddPattern(">");
    slots.OpenLen = open.size();
    slots.CloseLen = close.size();
    return slots;
}

TTextRange FindElement(TCutText& text, const TElementSlots& slots, std::size_t limit)
{
    const std::size_t p = text.Find(slots.Open);
    if (p == kNotFound || p + slots.OpenLen > limit)
        return {};
    std::size_t gt = text.Find(slots.Gt, p);
    if (gt != kNotFound && gt >= limit)
        gt = kNotFound;
    const bool selfClosing = gt != kNotFound && text.At(gt - 1) == '/';
    std::size_t close = text.Find(slots.Close);
    if (close != kNotFound && close + slots.CloseLen > limit)
        close = kNotFound;
    return ElementRangeAt(p, gt, selfClosing, close, slots.CloseLen, limit);
}

TAttributeSlots AddAttributeSlots(TCutText& text, std::string_view key)
{
    TAttributeSlots slots;
    slots.Key = text.AddPattern(key);
    slots.Quote = text.AddPattern("\"");
    slots.KeyLen = key.size();
    return slots;
}

bool FindAttribute(
    TCutText& text, const TAttributeSlots& slots, std::size_t from, std::size_t limit, TTextRange& value)
{
    const std::size_t key = text.Find(slots.Key, from);
    if (key == kNotFound || key + slots.KeyLen > limit)
        return false;
    // The first character after "=" is taken for the opening quote and dropped.
    const std::size_t start = std::min(key + slots.KeyLen + 1, limit);
    const std::size_t quote = text.Find(slots.Quote, start);
    const std::size_t end = (quote == kNotFound || quote > limit) ? limit : quote;
    value = { start, end - start };
    return true;
}

} // namespace pivrel::wml
