#include "wml/WMLParser.h"

#include "base/Ascii.h"
#include "base/ByteWords.h"
#include "wml/WMLCutText.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

namespace pivrel::wml {

namespace {

    bool IsBlankOrControl(char c)
    {
        return static_cast<unsigned char>(c) <= ' ';
    }

    // The line without the blanks and control characters at its ends; inside preformatted text
    // the blanks at its start are kept, since they indent it.
    std::string_view TrimLine(std::string_view line, bool keepLeading)
    {
        std::size_t first = 0;
        std::size_t last = line.size();
        while (!keepLeading && first < last && IsBlankOrControl(line[first]))
            ++first;
        while (last > first && IsBlankOrControl(line[last - 1]))
            --last;
        return line.substr(first, last - first);
    }

    using base::kEachByte;
    using base::kHighBits;

    // Whether any of eight bytes is a control character (below the blank).
    bool HasControl(std::uint64_t w)
    {
        return base::BelowMarks(w, ' ') != 0;
    }

    // Appends a trimmed line with its control characters made blanks. Lines seldom hold one (a
    // tab, as a rule), so eight bytes are checked at once and only those with one are walked.
    void AppendCleanLine(std::string& joined, std::string_view line)
    {
        static_assert(std::endian::native == std::endian::little, "a short last word fills its low bytes");
        const std::size_t start = joined.size();
        joined.append(line);
        char* text = joined.data() + start;
        for (std::size_t i = 0; i < line.size(); i += 8) {
            std::uint64_t w = 0;
            std::memcpy(&w, text + i, std::min<std::size_t>(8, line.size() - i));
            if (!HasControl(w | (line.size() - i < 8 ? ~std::uint64_t(0) << (8 * (line.size() - i)) : 0)))
                continue;
            for (std::size_t j = i; j < std::min(line.size(), i + 8); ++j) {
                if (static_cast<unsigned char>(text[j]) < ' ')
                    text[j] = ' ';
            }
        }
    }

    // Whether the text holds the marker (lower case, starting with "<") in any mix of cases.
    bool ContainsIgnoringCase(std::string_view text, std::string_view marker)
    {
        // Decks write their markers in lower case; the search for that is quick, and only a deck
        // without one is walked "<" by "<".
        if (FindText(text, marker) != kNotFound)
            return true;
        for (std::size_t lt = text.find('<'); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
            if (text.size() - lt < marker.size())
                return false;
            std::size_t i = 1;
            while (i < marker.size() && base::AsciiLower(text[lt + i]) == marker[i])
                ++i;
            if (i == marker.size())
                return true;
        }
        return false;
    }

    bool ContainsDeckMarkers(std::string_view text)
    {
        for (std::string_view marker : { "<wml", "</wml>", "<card", "</card>" }) {
            if (!ContainsIgnoringCase(text, marker))
                return false;
        }
        return true;
    }

    void ReplaceAll(std::string& text, std::string_view from, std::string_view to)
    {
        // None of the rewritten keys can arise anew from its replacement, so one pass from left to
        // right leaves no occurrence behind.
        std::string out;
        std::size_t pos = 0;
        for (std::size_t hit = text.find(from); hit != std::string::npos; hit = text.find(from, pos)) {
            out.append(text, pos, hit - pos);
            out.append(to);
            pos = hit + from.size();
        }
        if (pos == 0)
            return;
        out.append(text, pos, std::string::npos);
        text = std::move(out);
    }

    template <std::size_t N> bool StartsWith(std::string_view text, const char (&prefix)[N])
    {
        return text.size() >= N - 1 && std::memcmp(text.data(), prefix, N - 1) == 0;
    }

    // Whether the text ends inside preformatted text, given whether it began inside: the last
    // "<pre" start tag or "</pre" end tag, in any case, decides.
    bool EndsInPre(std::string_view text, bool inPre)
    {
        for (std::size_t lt = text.find('<'); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
            const bool closing = lt + 1 < text.size() && text[lt + 1] == '/';
            const std::size_t name = lt + (closing ? 2 : 1);
            if (text.size() - name < 4)
                break;
            const bool pre = base::AsciiLower(text[name]) == 'p' && base::AsciiLower(text[name + 1]) == 'r'
                && base::AsciiLower(text[name + 2]) == 'e';
            const char after = text[name + 3];
            if (pre && (after == '>' || after == ' '))
                inPre = !closing;
        }
        return inPre;
    }

    bool Contains(std::string_view text, std::string_view part)
    {
        return text.find(part) != std::string_view::npos;
    }

    // The WML 1.0 attribute names and the anchor and go forms that the card parser does not know.
    void RewriteOldForms(std::string& tag)
    {
        if (StartsWith(tag, "<card") && !Contains(tag, "id"))
            ReplaceAll(tag, "name=", "id=");
        if (StartsWith(tag, "<select") && !Contains(tag, "name"))
            ReplaceAll(tag, "key=", "name=");
        if (StartsWith(tag, "<option") && !Contains(tag, "onpick"))
            ReplaceAll(tag, "onclick=", "onpick=");
        if (StartsWith(tag, "<input") && !Contains(tag, "value="))
            ReplaceAll(tag, "default=", "value=");
        if (StartsWith(tag, "<input") && !Contains(tag, "name="))
            ReplaceAll(tag, "key=", "name=");
        if (StartsWith(tag, "<go")) {
            const std::size_t slash = tag.find("/>");
            if (slash != std::string::npos)
                tag.replace(slash, 2, "></go>");
            ReplaceAll(tag, "url=", "href=");
        }
        if (StartsWith(tag, "<anchor"))
            tag.replace(0, 7, "<a");
        if (StartsWith(tag, "</anchor"))
            tag.replace(0, 8, "</a");
    }

    // Whether one of the rewrites would change the tag; most tags are left as they are.
    bool NeedsRewrite(std::string_view tag)
    {
        if (StartsWith(tag, "<card"))
            return !Contains(tag, "id") && Contains(tag, "name=");
        if (StartsWith(tag, "<select"))
            return !Contains(tag, "name") && Contains(tag, "key=");
        if (StartsWith(tag, "<option"))
            return !Contains(tag, "onpick") && Contains(tag, "onclick=");
        if (StartsWith(tag, "<input"))
            return (!Contains(tag, "value=") && Contains(tag, "default="))
                || (!Contains(tag, "name=") && Contains(tag, "key="));
        if (StartsWith(tag, "<go"))
            return Contains(tag, "/>") || Contains(tag, "url=");
        return StartsWith(tag, "<anchor") || StartsWith(tag, "</anchor");
    }

    // A mark in the high bit of each of eight bytes that is a quote of either kind; the lowest
    // mark is exact (a mark can be wrong only above a byte that is a quote).
    std::uint64_t QuoteMarks(std::uint64_t w)
    {
        return base::ByteMarks(w, '"') | base::ByteMarks(w, '\'');
    }

    // The eight bytes with each of "A" to "Z" made lower case and every other byte as it was.
    std::uint64_t LowerEight(std::uint64_t w)
    {
        // Bytes with the high bit set are left out before the sums, so no sum carries into the
        // next byte, and after them, so that they stay as they are.
        const std::uint64_t seven = w & ~kHighBits;
        const std::uint64_t atLeastA = seven + kEachByte * (0x80 - 'A');
        const std::uint64_t pastZ = seven + kEachByte * (0x80 - 'Z' - 1);
        const std::uint64_t upper = atLeastA & ~pastZ & ~w & kHighBits;
        return w | (upper >> 2);
    }

    // A tag's names and unquoted values are made lower case, and single quotes double ones. The
    // text is taken eight bytes at a time up to the next quote.
    void LowerTagInPlace(char* text, std::size_t size)
    {
        bool quoted = false;
        std::size_t i = 0;
        while (size - i >= 8) {
            std::uint64_t w;
            std::memcpy(&w, text + i, 8);
            const std::uint64_t marks = QuoteMarks(w);
            // Bytes before the first quote (all eight when there is none).
            const std::size_t plain = marks == 0 ? 8 : static_cast<std::size_t>(__builtin_ctzll(marks)) / 8;
            if (!quoted) {
                w = LowerEight(w);
                std::memcpy(text + i, &w, plain);
            }
            i += plain;
            if (plain < 8) {
                text[i++] = '"';
                quoted = !quoted;
            }
        }
        for (; i < size; ++i) {
            char& c = text[i];
            if (c == '\'')
                c = '"';
            if (c == '"')
                quoted = !quoted;
            else if (!quoted)
                c = base::AsciiLower(c);
        }
    }

    void AppendTag(std::string& out, std::string_view tag)
    {
        const std::size_t start = out.size();
        out.append(tag);
        LowerTagInPlace(out.data() + start, tag.size());
        const std::string_view written(out.data() + start, out.size() - start);
        if (!NeedsRewrite(written))
            return;
        std::string rewritten(written);
        RewriteOldForms(rewritten);
        out.resize(start);
        out.append(rewritten);
    }

    // Joins a deck's lines into one text. A line end is white space: lines are joined with one
    // blank, where there is text on both sides. Inside preformatted text each line end is kept as
    // a line feed, empty lines too.
    class TLineJoiner
    {
    public:
        explicit TLineJoiner(std::size_t expected) { m_joined.reserve(expected); }

        void Add(std::string_view line)
        {
            const std::string_view clean = TrimLine(line, m_inPre);
            // The separator goes before the line's text, so it is known before that is written.
            if (m_inPre && !m_joined.empty())
                m_joined += '\n';
            else if (!clean.empty() && !m_joined.empty() && m_joined.back() != ' ')
                m_joined += ' ';
            const std::size_t start = m_joined.size();
            AppendCleanLine(m_joined, clean);
            m_inPre = EndsInPre(std::string_view(m_joined).substr(start), m_inPre);
        }

        std::string Take() { return std::move(m_joined); }

    private:
        std::string m_joined;
        bool m_inPre = false;
    };

} // namespace

bool TWMLParser::Parse(const TStringList& lines)
{
    return Parse(TStringList(lines));
}

bool TWMLParser::Parse(TStringList&& lines)
{
    WMLLines = std::move(lines);
    std::size_t total = 0;
    for (const std::string& line : WMLLines)
        total += line.size() + 1;
    TLineJoiner joiner(total);
    for (const std::string& line : WMLLines)
        joiner.Add(line);
    return Accept(joiner.Take());
}

bool TWMLParser::ParseText(std::string_view text)
{
    WMLLines.clear();
    TLineJoiner joiner(text.size());
    base::ForEachLine(text, [&joiner](std::string_view line) { joiner.Add(line); });
    if (Accept(joiner.Take()))
        return true;
    WMLLines = base::SplitLines(text);
    return false;
}

bool TWMLParser::Accept(std::string joined)
{
    if (!ContainsDeckMarkers(joined))
        return false;
    WMLCode = Normalize(joined);
    return true;
}

std::string TWMLParser::Normalize(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == '<') {
            const std::size_t gt = text.find('>', pos);
            if (gt == std::string_view::npos) {
                // A last tag that never ends stays as text.
                out.append(text.substr(pos));
                break;
            }
            AppendTag(out, text.substr(pos, gt + 1 - pos));
            pos = gt + 1;
            continue;
        }
        const std::size_t lt = text.find('<', pos);
        const std::size_t end = lt == std::string_view::npos ? text.size() : lt;
        out.append(text.substr(pos, end - pos));
        pos = end;
    }
    return out;
}

} // namespace pivrel::wml
