#include "wml/WMLCard.h"

#include <gtest/gtest.h>

namespace pivrel::wml {
namespace {

    // One line per record: class, key and the fields a reader of the card looks at.
    std::string Describe(const TWMLElement& element)
    {
        const TWMLObject& o = *element.Object;
        std::string out = std::string(o.ClassName()) + "[" + element.Key.Text() + "]";
        const TFontDesc& f = o.TextFont;
        out += " a" + std::to_string(static_cast<int>(o.Alignment)) + " s" + std::to_string(f.Size)
            + (f.Bold ? "B" : "") + (f.Italic ? "I" : "") + (f.Underline ? "U" : "");
        if (f.Name != TFontDesc().Name)
            out += " font=" + f.Name.Text();
        switch (o.Class()) {
        case TWMLClass::Text:
            out += " '" + o.As<TWMLText>().Text + "'";
            break;
        case TWMLClass::Link: {
            const auto& l = o.As<TWMLLink>();
            out += " '" + l.Text + "' -> " + l.Link + (l.Post ? " post" : "") + (l.Picture ? " picture" : "");
            break;
        }
        case TWMLClass::Btn: {
            const auto& b = o.As<TWMLBtn>();
            out += " " + b.DoType + " -> " + b.Link;
            break;
        }
        case TWMLClass::Timer: {
            const auto& t = o.As<TWMLTimer>();
            out += " " + std::to_string(t.Time) + " -> " + t.Link;
            break;
        }
        case TWMLClass::Input:
            out += " " + o.VarObject->VarName + "=" + o.VarObject->VarValue;
            break;
        case TWMLClass::Select: {
            const auto& s = o.As<TWMLSelect>();
            out += " '" + s.Title + "' " + o.VarObject->VarName + "/" + o.VarObject->iVarName
                + " def=" + o.VarObject->DefaultValue + (s.Multiple ? " multiple" : "") + " [";
            for (std::size_t i = 0; i < o.VarObject->NameList.size(); ++i)
                out += o.VarObject->NameList[i] + ":" + o.VarObject->ValueList[i] + ":"
                    + o.VarObject->OnPickList[i] + ";";
            out += "]";
            break;
        }
        case TWMLClass::PostVariable:
            out += " " + o.VarObject->VarName + "=" + o.VarObject->VarValue;
            break;
        case TWMLClass::BR:
            if (!o.As<TWMLBR>().Mode.empty())
                out += " mode=" + o.As<TWMLBR>().Mode;
            break;
        case TWMLClass::PivrelVersion:
            out += " " + o.As<TWMLPivrelVersion>().NewestVersion;
            break;
        case TWMLClass::Image:
            out += " " + o.As<TWMLImage>().Src;
            break;
        default:
            break;
        }
        return out;
    }

    std::vector<std::string> Records(const TWMLCard& card)
    {
        std::vector<std::string> out;
        for (const TWMLElement& element : card.Elements)
            out.push_back(Describe(element));
        return out;
    }

    std::unique_ptr<TWMLCard> ParseCard(const std::string& code, const std::string& templ = {})
    {
        auto card = std::make_unique<TWMLCard>();
        card->WMLCode = code;
        card->Template = templ;
        card->Parse(code);
        return card;
    }

    using TLines = std::vector<std::string>;

    TEST(WMLCardParse, StylesAlignmentAndTables)
    {
        struct TCase {
            const char* Body;
            TLines Expected;
        };

        const TCase cases[] = {
            { "<p align=\"center\">Hi</p>",
                { "TWMLAlignmentChange[] a2 s10", "TWMLText[] a2 s10 'Hi'",
                    "TWMLAlignmentChange[] a0 s10" } },
            { "<p>x</p>", { "TWMLText[] a0 s10 'x'", "TWMLAlignmentChange[] a0 s10" } },
            // An align inside the paragraph counts for the paragraph.
            { "<p><img src=\"a.wbmp\" align=\"right\"/></p>",
                { "TWMLAlignmentChange[] a1 s10", "TWMLImage[Image] a1 s10 a.wbmp",
                    "TWMLAlignmentChange[] a0 s10" } },
            { "<p align=\"Center\">x", { "TWMLText[] a0 s10 'x'" } },
            // A blank between two runs ends the run before it.
            { "<b>Bold <i>both</i></b> plain",
                { "TWMLText[] a0 s10B 'Bold '", "TWMLText[] a0 s10BI 'both '",
                    "TWMLText[] a0 s10 'plain'" } },
            // The font is plain state: "</b>" ends the bold of an enclosing "<strong>".
            { "<strong><b>x</b>y</strong>", { "TWMLText[] a0 s10B 'x'", "TWMLText[] a0 s10 'y'" } },
            { "<u>u</u><small>x</small>y",
                { "TWMLText[] a0 s10U 'u'", "TWMLText[] a0 s8 'x'", "TWMLText[] a0 s10 'y'" } },
            { "<small><small><small><small><small><small>x", { "TWMLText[] a0 s-2 'x'" } },
            { "<big>x</big><center>c</center>",
                { "TWMLText[] a0 s12 'x'", "TWMLAlignmentChange[] a2 s10", "TWMLText[] a2 s10 'c'",
                    "TWMLAlignmentChange[] a0 s10" } },
            { "<table><tr><td>A</td><td>B</td></tr></table>",
                { "TWMLBR[] a0 s10 mode=table ", "TWMLBR[] a0 s10 mode=row", "TWMLBR[] a0 s10 mode=cell",
                    "TWMLText[] a0 s10 'A'", "TWMLBR[] a0 s10 mode=cell", "TWMLText[] a0 s10 'B'",
                    "TWMLBR[] a0 s10 mode=/table" } },
            { "a<br/>b", { "TWMLText[] a0 s10 'a'", "TWMLBR[] a0 s10", "TWMLText[] a0 s10 'b'" } },
            // A "<br>" without "/" also takes the character after it.
            { "a<br>bc", { "TWMLText[] a0 s10 'a'", "TWMLBR[] a0 s10", "TWMLText[] a0 s10 'c'" } },
            { "x > y<em>z</em><!-- c -->w",
                { "TWMLText[] a0 s10 'y'", "TWMLText[] a0 s10I 'z'", "TWMLText[] a0 s10 'w'" } },
            { "<!-- a > b -->w", { "TWMLText[] a0 s10 'b -->w'" } },
            // "<p" also catches "<pivrel" without " version".
            { "<pre>t</pre><pivrel>v",
                { "TWMLText[] a0 s10 font=Courier New 't'", "TWMLBR[] a0 s10 font=Courier New",
                    "TWMLText[] a0 s10 'v'" } },
        };
        for (const TCase& c : cases) {
            SCOPED_TRACE(c.Body);
            EXPECT_EQ(Records(*ParseCard(std::string("<card>") + c.Body + "</card>")), c.Expected);
        }
    }

    TEST(WMLCardParse, LinksAndPostFields)
    {
        struct TCase {
            const char* Body;
            TLines Expected;
        };

        const TCase cases[] = {
            { "<a href=\"next.wml\">Next</a>", { "TWMLLink[Link] a0 s10 'Next' -> next.wml" } },
            { "<a>Go<go href=\"#b\" method=\"post\"><postfield name=\"u\" value=\"bob\"/>"
              "<postfield value=\"x\"/></go></a>",
                { "TWMLPostVariable[postfield] a0 s10 u=bob", "TWMLPostVariable[postfield] a0 s10 VarX=x",
                    "TWMLLink[Link] a0 s10 'Go' -> #b post" } },
            { "<a><go href=\"u\" method=\"POST\"></go>Text</a>", { "TWMLLink[Link] a0 s10 'Text' -> u" } },
            // The link text runs to the first inner tag; the go element is cut out first.
            { "<a title=\"t\">A<go href=\"g\"></go>B<br/>C</a>", { "TWMLLink[Link] a0 s10 'AB' -> g" } },
            { "<b><a href=\"x\">bold</a></b>", { "TWMLLink[Link] a0 s10B 'bold' -> x" } },
            // "<a" followed by another letter is no link.
            { "<abbr>t</abbr>", { "TWMLText[] a0 s10 't'" } },
            // Without "</a>" the anchor is only its first four characters.
            { "<a href=\"x\">t", { "TWMLLink[Link] a0 s10 '' -> ", "TWMLText[] a0 s10 't'" } },
        };
        for (const TCase& c : cases) {
            SCOPED_TRACE(c.Body);
            EXPECT_EQ(Records(*ParseCard(std::string("<card>") + c.Body + "</card>")), c.Expected);
        }
    }

    TEST(WMLCardParse, InputsSelectsButtonsTimersAndVersion)
    {
        auto card = ParseCard(
            "<card id=\"c\" ontimer=\"#b\"><timer value=\"50\"/><timer value=\"x\"/><timer value=\"\"/>"
            "<input name=\"q\" value=\"wap\" title=\"Search\"/>"
            "<select name=\"s\"><option value=\"a\">A</option><option value=\"b\" "
            "onpick=\"#p\">B</option></select>"
            "<select title=\"T\" iname=\"i\" name=\"n\" multiple=\"true\"></select>"
            "<do type=\"accept\" label=\"OK\"><go href=\"x\"></go></do>"
            "<pivrel version=\"2.3\"/></card>");
        const TLines expected = {
            "TWMLTimer[] a0 s10 5000 -> #b",
            "TWMLTimer[] a0 s10 100 -> #b",
            "TWMLTimer[] a0 s10 100 -> #b",
            "TWMLInput[Search] a0 s10 q=wap",
            "TWMLSelect[Select] a0 s10 'Options (s):' s/VarIX def=a [A:a:;B:b:#p;]",
            "TWMLSelect[Select] a0 s10 'T' i/i def= multiple []",
            "TWMLBtn[OK] a0 s10 accept -> x",
            "TWMLPivrelVersion[PIVRELVERSION] a0 s10 2.3",
        };
        EXPECT_EQ(Records(*card), expected);
        ASSERT_EQ(card->Variables.size(), 3u);
        EXPECT_EQ(card->Variables[0].Key, "q");
        EXPECT_EQ(card->Variables[0].Variable, &*card->Elements[3].Object->VarObject);
        EXPECT_EQ(card->Variables[1].Key, "");
        EXPECT_EQ(card->ID, "c");
        EXPECT_EQ(card->OnTimerURL, "#b");
        // The card has no title of its own: the first title inside it is taken.
        EXPECT_EQ(card->Title, "Search");
        EXPECT_FALSE(card->NewContext);
    }

    TEST(WMLCardParse, SelectsAndPostFieldsUseTheDefaultFont)
    {
        auto card = ParseCard(
            "<card><center><big><b><select name=\"s\"><option>x</option></select>"
            "<a><go href=\"u\"><postfield name=\"n\" value=\"v\"/></go>t</a></b></big></center></card>");
        const TLines expected = {
            "TWMLAlignmentChange[] a2 s10",
            "TWMLSelect[Select] a0 s10 'Options (s):' s/VarIX def= [x::;]",
            "TWMLPostVariable[postfield] a0 s10 n=v",
            "TWMLLink[Link] a2 s12B 't' -> u",
            "TWMLAlignmentChange[] a0 s10",
        };
        EXPECT_EQ(Records(*card), expected);
    }

    TEST(WMLCardParse, CardAttributesAndTemplate)
    {
        auto card = ParseCard("<card id=\"Main\" title=\"Start\" newcontext=\"true\">x</card>",
            "<template><do type=\"prev\" label=\"Back\"><prev/></do></template>");
        EXPECT_EQ(card->ID, "Main");
        EXPECT_EQ(card->Title, "Start");
        EXPECT_TRUE(card->NewContext);
        EXPECT_EQ(Records(*card), (TLines { "TWMLBtn[Back] a0 s10 prev -> @prev", "TWMLText[] a0 s10 'x'" }));
        EXPECT_FALSE(ParseCard("<card newcontext=\"TRUE\"></card>")->NewContext);
    }

    TEST(WMLCardParse, MalformedEndings)
    {
        struct TCase {
            const char* Code;
            TLines Expected;
        };

        const TCase cases[] = {
            // A tag that never ends drops the rest of the card.
            { "<card>a<b", { "TWMLText[] a0 s10 'a'" } },
            { "<card><p<p<p", {} },
            { "<card>", {} },
            { "", {} },
            // Text without any tag is character data.
            { "no tags at all", { "TWMLText[] a0 s10 'no tags at all'" } },
            // A timer without "/>" loses only its front; the empty rest makes no record.
            { "<card><timer value=\"5\"><b>x</card>",
                { "TWMLTimer[] a0 s10 500 -> ", "TWMLText[] a0 s10B 'x'" } },
            // A timer whose first attribute is not value is dropped.
            { "<card><timer name=\"t\" value=\"5\"/>x</card>", { "TWMLText[] a0 s10 'x'" } },
            { "<card><pivrel version=\"1.0\"><b>x</card>",
                { "TWMLPivrelVersion[PIVRELVERSION] a0 s10 1.0", "TWMLText[] a0 s10B 'x'" } },
        };
        for (const TCase& c : cases) {
            SCOPED_TRACE(c.Code);
            EXPECT_EQ(Records(*ParseCard(c.Code)), c.Expected);
        }
    }

    TEST(WMLCardParse, TimerValueRange)
    {
        const std::pair<const char*, std::int32_t> cases[] = {
            { "50", 50 },
            { "0", 0 },
            { "007", 7 },
            { "", 1 },
            { "x", 1 },
            { "-5", 1 },
            { " 5", 1 },
            { "21474836", 21474836 },
            // Past what 100 times the value can hold: the longest interval that fits.
            { "21474837", 21474836 },
            { "2147483648", 21474836 },
            { "99999999999999999999999", 21474836 },
        };
        for (const auto& [value, expected] : cases)
            EXPECT_EQ(TimerValue(value), expected) << value;
        auto card = ParseCard("<card><timer value=\"99999999999\"/></card>");
        ASSERT_EQ(card->Elements.size(), 1u);
        EXPECT_EQ(card->Elements[0].Object->As<TWMLTimer>().Time, INT32_MAX / 100 * 100);
    }

    TEST(WMLCardParse, TimerExpiredDisablesAndNavigates)
    {
        TWMLCard card;
        card.OnTimerURL = "#next";
        card.Timer.Enabled = true;
        card.TimerExpired(); // no handler: only the timer stops
        EXPECT_FALSE(card.Timer.Enabled);
        std::vector<std::string> urls;
        card.OnTimerNavigate = [&](const std::string& url) { urls.push_back(url); };
        card.Timer.Enabled = true;
        card.TimerExpired();
        EXPECT_FALSE(card.Timer.Enabled);
        EXPECT_EQ(urls, (TLines { "#next" }));
    }

    class TFakeLoader : public TCardImageLoader
    {
    public:
        void LoadCardImage(TWMLImage& image, const std::string& src) override
        {
            Sources.push_back(src);
            image.Image.Width = 2;
            image.Image.Height = 1;
            image.SourceWidth = 2;
        }

        std::vector<std::string> Sources;
    };

    TEST(WMLCardParse, ImagesGoThroughTheLoader)
    {
        TFakeLoader loader;
        TWMLCard card;
        card.ImageLoader = &loader;
        card.Parse("<card><img src=\"a.wbmp\" alt=\"A\"/><img alt=\"none\"/></card>");
        EXPECT_EQ(loader.Sources, (TLines { "a.wbmp", "" }));
        ASSERT_EQ(card.Elements.size(), 2u);
        EXPECT_EQ(card.Elements[0].Object->As<TWMLImage>().SourceWidth, 2);
    }

    std::string Repeat(std::string_view piece, std::size_t times)
    {
        std::string out;
        out.reserve(piece.size() * times);
        for (std::size_t i = 0; i < times; ++i)
            out.append(piece);
        return out;
    }

    TEST(WMLCardParse, HostileCardsFinishWithBoundedResults)
    {
        constexpr std::size_t kSize = 200 * 1024;

        struct TCase {
            std::string Code;
            std::size_t MaxRecords;
        };

        const TCase cases[] = {
            { "<card>" + Repeat("<a ", kSize / 3), 0 },
            { "<card>" + Repeat("<a ", kSize / 3) + ">", kSize / 3 },
            { "<card>" + Repeat("<p", kSize / 2) + "></p>", 1 },
            { "<card>" + Repeat("<p", kSize / 2) + " align=\"right\"></p>", 2 },
            { "<card>" + Repeat("<", kSize), 0 },
            { "<card>" + Repeat("<br", kSize / 3) + ">", kSize / 3 },
            { "<card>" + Repeat("&#", kSize / 2), 1 },
            { "<card>" + Repeat("$(", kSize / 2), 1 },
            { "<card>" + Repeat("<pivrel version", kSize / 15) + "=\"1\">", kSize / 15 + 1 },
            { "<card>" + Repeat("<timer value", kSize / 12) + "=\"1\">", kSize / 12 + 1 },
            { "<card>" + Repeat("<select><option>x</option>", kSize / 26) + "</select></card>", 1 },
            { "<card>" + Repeat("<input name=\"a\">", kSize / 16) + "</input></card>", 1 },
            { "<card>" + Repeat("<do>", kSize / 4) + "</do>", 1 },
            { "<card><a><go>" + Repeat("<postfield/>", kSize / 12) + "</go></a>", kSize / 12 + 1 },
            { "<card>" + Repeat("<!--", kSize / 4) + ">", kSize / 4 },
        };
        for (const TCase& c : cases) {
            SCOPED_TRACE(c.Code.substr(0, 40));
            auto card = ParseCard(c.Code);
            EXPECT_LE(card->Elements.size(), c.MaxRecords);
        }
    }

    TEST(WMLCardParse, ByteLimitDropsTheRestOfTheCard)
    {
        // A template whose closing tag only comes at the end makes every "<p" see the whole rest.
        TWMLCard card;
        card.Limits.BytesPerInputByte = 1;
        card.Limits.Slack = 0;
        const std::string code = "<card>" + Repeat("<input name=\"a\"/>", 100) + "</card>";
        card.Parse(code);
        // Each input record costs more than its text, so the limit ends the card early.
        EXPECT_GT(card.Elements.size(), 0u);
        EXPECT_LT(card.Elements.size(), 100u);
        EXPECT_EQ(card.Variables.size(), card.Elements.size());

        TWMLCard roomy;
        roomy.Parse(code);
        EXPECT_EQ(roomy.Elements.size(), 100u);
    }

    // Only records that hold a variable, a list's options, a post field or setvars carry a
    // variable block; the others read as an empty one and stay small.
    TEST(WMLCardParse, OnlyRecordsWithVariablesCarryAVariableBlock)
    {
        TWMLCard card;
        card.Parse("<card><p>text<br/><a href=\"#a\">plain</a><img src=\"x.wbmp\" alt=\"x\"/>"
                   "<a>set<go href=\"#b\"><setvar name=\"v\" value=\"1\"/></go></a>"
                   "<a>post<go href=\"/s\" method=\"post\"><postfield name=\"f\" value=\"2\"/>"
                   "</go></a><input name=\"q\"/><select name=\"s\"><option value=\"a\">A</option>"
                   "</select></p><do type=\"accept\"><go href=\"#c\"/></do>"
                   "<do type=\"options\"><refresh><setvar name=\"w\" value=\"3\"/></refresh></do></card>");
        std::string blocks;
        for (const TWMLElement& element : card.Elements) {
            const TWMLVariableBlock& block = element.Object->VarObject;
            blocks += std::string(element.Object->ClassName()) + (block.Exists() ? "+ " : "- ");
            if (!block.Exists()) {
                EXPECT_TRUE(block->SetVarNames.empty() && block->VarName.empty() && !block->PostVariable);
            }
        }
        EXPECT_EQ(blocks,
            "TWMLText- TWMLBR- TWMLLink- TWMLImage- TWMLLink+ TWMLPostVariable+ TWMLLink- TWMLInput+ "
            "TWMLSelect+ TWMLAlignmentChange- TWMLBtn- TWMLBtn+ ");
    }

    struct TBodyCase {
        const char* Body;
        TLines Expected;
    };

    void ExpectRecords(const std::vector<TBodyCase>& cases)
    {
        for (const TBodyCase& c : cases) {
            SCOPED_TRACE(c.Body);
            EXPECT_EQ(Records(*ParseCard(std::string("<card>") + c.Body + "</card>")), c.Expected);
        }
    }

    // White space shows as one blank between two things on a line, and nowhere else.
    TEST(WMLCardParse, WhiteSpaceBecomesOneBlankBetweenThingsOnALine)
    {
        ExpectRecords({
            { "<p> <a href=\"k\">Kino</a> <a href=\"w\">Wetter</a>  <a href=\"b\">Bus</a> </p>",
                { "TWMLLink[Link] a0 s10 'Kino' -> k", "TWMLText[] a0 s10 ' '",
                    "TWMLLink[Link] a0 s10 'Wetter' -> w", "TWMLText[] a0 s10 ' '",
                    "TWMLLink[Link] a0 s10 'Bus' -> b", "TWMLAlignmentChange[] a0 s10" } },
            { "word <b>bold</b>", { "TWMLText[] a0 s10 'word '", "TWMLText[] a0 s10B 'bold'" } },
            { "<p>  lead  and   inner  </p>",
                { "TWMLText[] a0 s10 'lead and inner'", "TWMLAlignmentChange[] a0 s10" } },
            { "<p> </p> <p> <b> </b> x </p>",
                { "TWMLAlignmentChange[] a0 s10", "TWMLText[] a0 s10 'x'", "TWMLAlignmentChange[] a0 s10" } },
            { "a <br/> b", { "TWMLText[] a0 s10 'a'", "TWMLBR[] a0 s10", "TWMLText[] a0 s10 'b'" } },
            { "Go <a href=\"x\"> to </a>it",
                { "TWMLText[] a0 s10 'Go '", "TWMLLink[Link] a0 s10 'to' -> x", "TWMLText[] a0 s10 ' it'" } },
            { "<p align=\"center\"> Hi </p>",
                { "TWMLAlignmentChange[] a2 s10", "TWMLText[] a2 s10 'Hi'",
                    "TWMLAlignmentChange[] a0 s10" } },
            // A non-breaking space is no white space: it and the blanks around it stay.
            { "a &nbsp; b", { "TWMLText[] a0 s10 'a &nbsp; b'" } },
            { "<select name=\"s\"><option value=\"1\"> One  more </option></select>",
                { "TWMLSelect[Select] a0 s10 'Options (s):' s/VarIX def=1 [One more:1:;]" } },
        });
    }

    // A picture inside an anchor is the link; its alternative text stands in when the anchor has
    // no text of its own.
    TEST(WMLCardParse, AnchorsWithPicturesArePictureLinks)
    {
        ExpectRecords({
            { "<a href=\"k\"><img src=\"k.wbmp\" alt=\"Kino\"/></a>",
                { "TWMLLink[Link] a0 s10 'Kino' -> k picture", "TWMLImage[Image] a0 s10 k.wbmp" } },
            { "<a>Kino <img src=\"k.wbmp\" alt=\"K\"/><go href=\"#k\"></go></a>",
                { "TWMLLink[Link] a0 s10 'Kino' -> #k picture", "TWMLImage[Image] a0 s10 k.wbmp" } },
            // An icon followed by its label: the label is the link's text.
            { "<a href=\"k\"><img src=\"k.wbmp\" alt=\"*\"/> Kino <b>now</b></a>",
                { "TWMLLink[Link] a0 s10 'Kino now' -> k picture", "TWMLImage[Image] a0 s10 k.wbmp" } },
            { "<a href=\"k\"><img src=\"k.wbmp\"/></a>",
                { "TWMLLink[Link] a0 s10 '' -> k picture", "TWMLImage[Image] a0 s10 k.wbmp" } },
            { "<a href=\"k\">Kino</a><img src=\"p.wbmp\"/>",
                { "TWMLLink[Link] a0 s10 'Kino' -> k", "TWMLImage[Image] a0 s10 p.wbmp" } },
        });
    }

    TEST(WMLCardParse, DoWithoutLabelTakesItsCaptionFromItsType)
    {
        const std::pair<const char*, const char*> cases[] = {
            { "<do type=\"accept\"><go href=\"a\"></go></do>", "OK" },
            { "<do type=\"prev\"><prev/></do>", "Back" },
            { "<do type=\"options\"></do>", "Options" },
            { "<do type=\"reset\"></do>", "Reset" },
            { "<do type=\"help\"></do>", "Help" },
            { "<do type=\"delete\"></do>", "Delete" },
            { "<do type=\"vnd.menu\"></do>", "vnd.menu" },
            { "<do type=\"unknown\"></do>", "unknown" },
            { "<do></do>", "OK" },
            { "<do type=\"accept\" label=\"Send\"></do>", "Send" },
        };
        for (const auto& [body, caption] : cases) {
            auto card = ParseCard(std::string("<card>") + body + "</card>");
            ASSERT_EQ(card->Elements.size(), 1u) << body;
            EXPECT_EQ(card->Elements[0].Object->As<TWMLBtn>().Caption, caption) << body;
            EXPECT_EQ(card->Elements[0].Key, caption) << body;
        }
    }

    TEST(WMLCardParse, PreformattedTextEmphasisAndWrapMode)
    {
        ExpectRecords({
            { "<pre>\n  a  b\n\nc\n</pre>d",
                { "TWMLText[] a0 s10 font=Courier New '  a  b'", "TWMLBR[] a0 s10 font=Courier New",
                    "TWMLBR[] a0 s10 font=Courier New", "TWMLText[] a0 s10 font=Courier New 'c'",
                    "TWMLBR[] a0 s10 font=Courier New", "TWMLText[] a0 s10 'd'" } },
            { "x<pre>y</pre>",
                { "TWMLText[] a0 s10 'x'", "TWMLBR[] a0 s10", "TWMLText[] a0 s10 font=Courier New 'y'",
                    "TWMLBR[] a0 s10 font=Courier New" } },
            { "<em>e</em> <u>u</u>", { "TWMLText[] a0 s10I 'e '", "TWMLText[] a0 s10U 'u'" } },
            { "<p mode=\"nowrap\">long</p><p>next</p><p mode=\"wrap\">w</p>",
                { "TWMLBR[] a0 s10 mode=nowrap", "TWMLText[] a0 s10 'long'", "TWMLAlignmentChange[] a0 s10",
                    "TWMLText[] a0 s10 'next'", "TWMLAlignmentChange[] a0 s10", "TWMLBR[] a0 s10 mode=wrap",
                    "TWMLText[] a0 s10 'w'", "TWMLAlignmentChange[] a0 s10" } },
            { "<p mode=\"NoWrap\">x</p>", { "TWMLText[] a0 s10 'x'", "TWMLAlignmentChange[] a0 s10" } },
        });
    }

    TEST(WMLCardParse, TablesMarkTheirColumnsRowsAndCells)
    {
        ExpectRecords({
            { "<table columns=\"2\"> <tr> <td> A </td> <td><a href=\"b\"><img src=\"b.wbmp\" "
              "alt=\"B\"/></a></td> "
              "</tr> </table>after",
                { "TWMLBR[] a0 s10 mode=table 2", "TWMLBR[] a0 s10 mode=row", "TWMLBR[] a0 s10 mode=cell",
                    "TWMLText[] a0 s10 'A'", "TWMLBR[] a0 s10 mode=cell",
                    "TWMLLink[Link] a0 s10 'B' -> b picture", "TWMLImage[Image] a0 s10 b.wbmp",
                    "TWMLBR[] a0 s10 mode=/table", "TWMLText[] a0 s10 'after'" } },
            { "<table title=\"t\" columns=\"x\"><tr class=\"r\"><td align=\"L\">1</td></tr>",
                { "TWMLBR[] a0 s10 mode=table x", "TWMLBR[] a0 s10 mode=row", "TWMLBR[] a0 s10 mode=cell",
                    "TWMLText[] a0 s10 '1'" } },
        });
    }

} // namespace
} // namespace pivrel::wml
