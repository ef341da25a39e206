#include "bench/DeckGenerator.h"

#include <cstdint>

namespace pivrel::bench {

namespace {

    // A small fixed-seed generator: the decks must not change between runs or machines.
    class TRandom
    {
    public:
        std::uint32_t Next(std::uint32_t bound)
        {
            m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
            return static_cast<std::uint32_t>(m_state >> 33) % bound;
        }

    private:
        std::uint64_t m_state = 0x5EED;
    };

    constexpr std::string_view kWords[] = {
        "wireless",
        "deck",
        "card",
        "news",
        "weather",
        "sport",
        "traffic",
        "mail",
        "search",
        "music",
        "travel",
        "bank",
        "ticket",
        "menu",
        "today",
        "tomorrow",
        "city",
        "train",
        "price",
        "offer",
    };

    constexpr std::string_view kHeader
        = "<?xml version=\"1.0\"?>\n"
          "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
          "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\n"
          "<wml>\n"
          "<template>\n"
          "<do type=\"prev\" label=\"Back\"><prev/></do>\n"
          "<do type=\"options\" name=\"home\" label=\"Home\"><go href=\"#c0\"/></do>\n"
          "</template>\n";

    void AppendWords(std::string& out, TRandom& random, int count)
    {
        for (int i = 0; i < count; ++i) {
            if (i != 0)
                out += ' ';
            out += kWords[random.Next(std::size(kWords))];
        }
    }

    void AppendStyledText(std::string& out, TRandom& random)
    {
        static constexpr std::string_view kOpen[] = { "<b>", "<i>", "<u>", "<big>", "<small>", "<strong>" };
        static constexpr std::string_view kClose[]
            = { "</b>", "</i>", "</u>", "</big>", "</small>", "</strong>" };
        const std::uint32_t style = random.Next(std::size(kOpen));
        AppendWords(out, random, 3 + int(random.Next(5)));
        out += ' ';
        out += kOpen[style];
        AppendWords(out, random, 1 + int(random.Next(3)));
        out += kClose[style];
        out += " &amp; ";
        AppendWords(out, random, 2);
        out += " &#8364;5 &lt;now&gt; for $(name)<br/>\n";
    }

    void AppendLinks(std::string& out, TRandom& random, int card, int cards)
    {
        out += "<a href=\"#c" + std::to_string((card + 1) % cards) + "\">Next ";
        AppendWords(out, random, 1);
        out += "</a><br/>\n<anchor>Send<go href=\"post.cgi?c=" + std::to_string(card)
            + "\" method=\"post\"><postfield name=\"user\" value=\"$(name)\"/>"
              "<postfield name=\"card\" value=\""
            + std::to_string(card) + "\"/></go></anchor><br/>\n";
    }

    void AppendForm(std::string& out, TRandom& random, int card)
    {
        out += "<input name=\"name\" title=\"Name\" value=\"guest\" size=\"12\" maxlength=\"20\"/>\n";
        out += "<select name=\"pick" + std::to_string(card) + "\" title=\"Pick\">";
        for (int i = 0; i < 3; ++i) {
            out += "<option value=\"v" + std::to_string(i) + "\">";
            AppendWords(out, random, 1);
            out += "</option>";
        }
        out += "</select>\n";
    }

    void AppendTable(std::string& out, TRandom& random)
    {
        out += "<table columns=\"2\">";
        for (int row = 0; row < 2; ++row) {
            out += "<tr><td>";
            AppendWords(out, random, 1);
            out += "</td><td>$$" + std::to_string(random.Next(100)) + "</td></tr>";
        }
        out += "</table>\n";
    }

    void AppendCard(std::string& out, TRandom& random, int card, int cards)
    {
        out += "<card id=\"c" + std::to_string(card) + "\" title=\"Card " + std::to_string(card) + "\">\n";
        out += "<do type=\"accept\" label=\"OK\"><go href=\"#c0\"/><setvar name=\"name\" "
               "value=\"x\"/></do>\n";
        out += "<p align=\"center\">";
        AppendStyledText(out, random);
        out += "</p>\n<p>\n";
        AppendStyledText(out, random);
        AppendLinks(out, random, card, cards);
        AppendForm(out, random, card);
        AppendTable(out, random);
        out += "</p>\n</card>\n";
    }

    std::string Repeated(std::string_view piece, std::size_t bytes)
    {
        std::string out;
        out.reserve(bytes + piece.size());
        while (out.size() < bytes)
            out += piece;
        return out;
    }

    std::string InsideCard(const std::string& body)
    {
        return "<wml><card id=\"p\"><p>" + body + "</p></card></wml>";
    }

} // namespace

std::string GenerateDeck(std::size_t targetBytes)
{
    // The links wrap around an estimate of the card count; a link past the last card is harmless.
    const int cards = int(targetBytes / 1000) + 1;
    TRandom random;
    std::string out(kHeader);
    out.reserve(targetBytes + 2048);
    for (int card = 0; card == 0 || out.size() + 8 < targetBytes; ++card)
        AppendCard(out, random, card, cards);
    out += "</wml>\n";
    return out;
}

std::string PathologicalDeck(TPathology kind, std::size_t targetBytes)
{
    switch (kind) {
    case TPathology::AnchorOpenings:
        return InsideCard(Repeated("<a ", targetBytes));
    case TPathology::ParagraphOpenings:
        return InsideCard(Repeated("<p", targetBytes));
    case TPathology::LessThanSigns:
        return InsideCard(Repeated("<", targetBytes));
    case TPathology::NumericEntities:
        return InsideCard(Repeated("&#", targetBytes));
    case TPathology::VariableOpenings:
        return InsideCard(Repeated("$(", targetBytes));
    case TPathology::UnclosedSelects: {
        const std::string select = "<select name=\"s\"><option value=\"v\">x</option>\n";
        std::string body;
        for (int i = 0; i < 10000; ++i)
            body += select;
        if (body.size() < targetBytes)
            body += Repeated("filler ", targetBytes - body.size());
        return InsideCard(body + "</select>");
    }
    case TPathology::UnendedCards: {
        std::string out = "<wml>\n";
        for (int i = 0; out.size() < targetBytes; ++i)
            out += "<card id=\"u" + std::to_string(i) + "\"><p>text " + std::to_string(i) + "<br/></p>\n";
        return out + "</card></wml>\n";
    }
    }
    return {};
}

std::string_view PathologyName(TPathology kind)
{
    switch (kind) {
    case TPathology::AnchorOpenings:
        return "AnchorOpenings";
    case TPathology::ParagraphOpenings:
        return "ParagraphOpenings";
    case TPathology::LessThanSigns:
        return "LessThanSigns";
    case TPathology::NumericEntities:
        return "NumericEntities";
    case TPathology::VariableOpenings:
        return "VariableOpenings";
    case TPathology::UnclosedSelects:
        return "UnclosedSelects";
    case TPathology::UnendedCards:
        return "UnendedCards";
    }
    return "";
}

std::size_t ParseSize(std::string_view text)
{
    std::size_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (std::size_t(1) << 40))
            return 0;
        value = value * 10 + std::size_t(text[i] - '0');
    }
    if (i == 0)
        return 0;
    const std::string_view unit = text.substr(i);
    if (unit.empty())
        return value;
    if (unit == "k" || unit == "K")
        return value * 1000;
    if (unit == "m" || unit == "M")
        return value * 1000 * 1000;
    return 0;
}

} // namespace pivrel::bench
