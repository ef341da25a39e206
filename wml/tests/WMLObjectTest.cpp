#include "wml/WMLObject.h"

#include "wml/WMLCutText.h"

#include <gtest/gtest.h>

namespace pivrel::wml {
namespace {

    struct TElementCase {
        const char* Tag;
        const char* Source;
        const char* Element;
        const char* AfterDelete;
    };

    TEST(WMLTextOperations, GetElementAndDeleteElementAgree)
    {
        const TElementCase cases[] = {
            { "br", "x<br/>y", "<br/>", "xy" },
            { "go", "<a><go href=\"u\"></go></a>", "<go href=\"u\"></go>", "<a></a>" },
            // Prefix match: "b" finds "<br".
            { "b", "<br/><b>x</b>", "<br/>", "<b>x</b>" },
            // "a" also finds "<anchor", whose closing tag is not "</a>".
            { "a", "<anchor>t</anchor>", "<anc", "hor>t</anchor>" },
            // Nesting is not tracked: the first closing tag anywhere ends the element.
            { "p", "<p>a<p>b</p>c</p>", "<p>a<p>b</p>", "c</p>" },
            // A closing tag before the start tag leaves nothing to find.
            { "p", "x</p>yyyy<p>z", "", "x</p>yyyy<p>z" },
            // A closing tag just before a short start tag: the count is clamped at the start.
            { "i", "</i><i>", "", "</i><i>" },
            // Neither "/>" nor a closing tag: the first L + 1 - p characters from p.
            { "br", "<br>abcdef", "<br>a", "bcdef" },
            { "br", "xx<br>abcdef", "<br", "xx>abcdef" },
            { "br", "xxxxxxx<br>abcdef", "", "xxxxxxx<br>abcdef" },
            // A start tag without ">" is no self-closing one.
            { "br", "<br", "<br", "" },
            { "img", "<img src=\"a\"/><p>", "<img src=\"a\"/>", "<p>" },
            // A self-closing tag with its closing tag further on: the "/>" wins.
            { "x", "<x/>a</x>", "<x/>", "a</x>" },
            // A closing tag inside the self-closing start tag comes first and wins.
            { "x", "<x a=\"</x>\"/>b", "<x a=\"</x>", "\"/>b" },
            { "none", "<p>text</p>", "", "<p>text</p>" },
            { "p", "", "", "" },
        };
        for (const TElementCase& c : cases) {
            SCOPED_TRACE(std::string(c.Tag) + " in " + c.Source);
            EXPECT_EQ(GetElement(c.Tag, c.Source), c.Element);
            EXPECT_EQ(GetElementView(c.Tag, c.Source), c.Element);
            std::string source = c.Source;
            EXPECT_TRUE(DeleteElement(c.Tag, source));
            EXPECT_EQ(source, c.AfterDelete);
        }
    }

    TEST(WMLTextOperations, DeleteElementRemovesCommentsThroughTheirEnd)
    {
        const std::pair<const char*, const char*> cases[] = {
            { "<!-- note -->rest", "rest" },
            { "<!-->rest", "rest" },
            // The first ">" does not end a "-->": only "<!" goes.
            { "<!-- a > b -->rest", "-- a > b -->rest" },
            { "<!-- never closed", "-- never closed" },
            { "x<!--c-->y", "xy" },
        };
        for (const auto& [source, expected] : cases) {
            std::string text = source;
            DeleteElement("!--", text);
            EXPECT_EQ(text, expected) << source;
        }
    }

    TEST(WMLTextOperations, GetAttributeQuirks)
    {
        struct TCase {
            const char* Name;
            const char* Element;
            const char* Expected;
        };

        const TCase cases[] = {
            { "href", "<go href=\"u\">", "u" },
            { "name", "<select iname=\"i\" name=\"n\">", "i" },
            { "value", "<select name=\"s\"><option value=\"1\">One</option></select>", "1" },
            { "src", "<img localsrc=\"l\" src=\"s\"/>", "l" },
            // An unquoted value loses its first character and runs to the next quote or the end.
            { "href", "<go href=page>", "age>" },
            { "href", "<go href=page title=\"t\">", "age title=" },
            { "title", "<card title=", "" },
            { "title", "<card title=\"", "" },
            { "title", "<card title=\"open", "open" },
            { "missing", "<card id=\"a\">", "default" },
            // No blanks are allowed around "=".
            { "id", "<card id = \"a\">", "default" },
            { "pivrel version", "<pivrel version=\"2.3\"/>", "2.3" },
        };
        for (const TCase& c : cases) {
            EXPECT_EQ(GetAttribute(c.Name, c.Element, "default"), c.Expected)
                << c.Name << " in " << c.Element;
            EXPECT_EQ(GetAttributeView(c.Name, c.Element, "default"), c.Expected)
                << c.Name << " in " << c.Element;
        }
        // Names of any length, on either side of the short ones kept on the stack.
        for (std::size_t size = 60; size <= 70; ++size) {
            const std::string name(size, 'n');
            EXPECT_EQ(GetAttributeView(name, "<x " + name + "=\"v\">", "default"), "v") << size;
            EXPECT_EQ(GetAttributeView(name, "<x " + name.substr(1) + "=\"v\">", "default"), "default")
                << size;
        }
    }

    TEST(WMLTextOperations, GetElementText)
    {
        EXPECT_EQ(GetElementText("<option value=\"1\">One</option>"), "One");
        EXPECT_EQ(GetElementText("no tags"), "no tags");
        EXPECT_EQ(GetElementText("a > b"), " b");
        EXPECT_EQ(GetElementText("<a>"), "");
        EXPECT_EQ(GetElementText(""), "");
        EXPECT_EQ(GetElementTextView("x<y"), "x");
    }

    TEST(WMLBtnParse, LinkCaptionAndSetvars)
    {
        TWMLBtn go;
        go.Parse("<do type=\"accept\" label=\"OK\" name=\"b\"><go href=\"next.wml\"></go></do>");
        EXPECT_EQ(go.Caption, "OK");
        EXPECT_EQ(go.DoType, "accept");
        EXPECT_EQ(go.BtName, "b");
        EXPECT_EQ(go.Link, "next.wml");
        EXPECT_FALSE(go.Refresh);
        EXPECT_FALSE(go.Post);

        TWMLBtn prev;
        prev.Parse("<do type=\"prev\"><prev/><next/><go href=\"x\"></go></do>");
        EXPECT_EQ(prev.Link, "@prev");
        TWMLBtn next;
        next.Parse("<do type=\"x\"><next/><go href=\"x\"></go></do>");
        EXPECT_EQ(next.Link, "@next");
        TWMLBtn noop;
        noop.Parse("<do type=\"x\"><noop/></do>");
        EXPECT_EQ(noop.Link, "");

        TWMLBtn setvars;
        setvars.Parse("<do type=\"accept\"><refresh><setvar name=\"a\" value=\"1\"/><setvar name=\"b\" "
                      "value=\"$(c)\"/><setvar name=\"c\" value=\"\"/></refresh></do>");
        EXPECT_TRUE(setvars.Refresh);
        EXPECT_EQ(setvars.BtName, "a"); // the first setvar's name, as the do has none
        EXPECT_EQ(setvars.VarObject->SetVarNames, (TStringList { "a", "b", "c" }));
        EXPECT_EQ(setvars.VarObject->SetVarValues, (TStringList { "1", "$(c)", "" }));
    }

    TEST(WMLBtnParse, SetvarsSurviveJoinsAcrossCuts)
    {
        // Cutting the first setvar joins "<set" and "var": the joined text is found as the next one.
        TWMLBtn btn;
        btn.Parse("<do><set<setvar name=\"a\" value=\"1\"/>var name=\"b\" value=\"2\"/></do>");
        EXPECT_EQ(btn.VarObject->SetVarNames, (TStringList { "a", "b" }));
        EXPECT_EQ(btn.VarObject->SetVarValues, (TStringList { "1", "2" }));

        // A setvar that the search cannot delimit ends the loop.
        TWMLBtn stray;
        stray.Parse("<do></setvar><setvar name=\"a\"></do>");
        EXPECT_TRUE(stray.VarObject->SetVarNames.empty());
    }

    TEST(WMLInputParse, AttributesAndDefaults)
    {
        TWMLInput input;
        input.Parse("<input name=\"q\" value=\"wap\" title=\"Search\" maxlength=\"8\" type=\"password\"/>");
        EXPECT_EQ(input.VarObject->VarName, "q");
        EXPECT_EQ(input.DefaultText, "wap");
        EXPECT_EQ(input.VarObject->VarValue, "wap");
        EXPECT_EQ(input.VarObject->DefaultValue, "wap");
        EXPECT_EQ(input.Title, "Search");
        EXPECT_EQ(input.MaxLength, "8");
        EXPECT_EQ(input.Size, "16");
        EXPECT_TRUE(input.Password);
        EXPECT_EQ(input.PassChar, 0);

        TWMLInput other;
        other.Parse("<input name=\"p\" type=\"Password\" size=\"4\"/>");
        EXPECT_FALSE(other.Password);
        EXPECT_EQ(other.Size, "4");
        EXPECT_EQ(other.MaxLength, "");
    }

    TEST(WMLImageParse, AttributesAsWritten)
    {
        TWMLImage image;
        image.Parse("<img alt=\"Logo\" src=\"a.wbmp\" vspace=\"1\" hspace=\"2\" align=\"right\" width=\"3\" "
                    "height=\"4\"/>");
        EXPECT_EQ(image.Alt, "Logo");
        EXPECT_EQ(image.Src, "a.wbmp");
        EXPECT_EQ(image.LocalSrc, "");
        EXPECT_EQ(image.VSpave, "1");
        EXPECT_EQ(image.HSpace, "2");
        EXPECT_EQ(image.Align, "right");
        EXPECT_EQ(image.Width, "3");
        EXPECT_EQ(image.Height, "4");
        EXPECT_TRUE(image.Image.Empty());

        TWMLImage local;
        local.Parse("<img localsrc=\"icon\" src=\"b.wbmp\"/>");
        EXPECT_EQ(local.Src, "icon");
        EXPECT_EQ(local.LocalSrc, "icon");
    }

    TEST(WMLObjectRecords, ClassNamesAndVariableFallbacks)
    {
        EXPECT_STREQ(TWMLText().ClassName(), "TWMLText");
        EXPECT_STREQ(TWMLBR().ClassName(), "TWMLBR");
        EXPECT_STREQ(TWMLLink().ClassName(), "TWMLLink");
        EXPECT_STREQ(TWMLBtn().ClassName(), "TWMLBtn");
        EXPECT_STREQ(TWMLTimer().ClassName(), "TWMLTimer");
        EXPECT_STREQ(TWMLInput().ClassName(), "TWMLInput");
        EXPECT_STREQ(TWMLAlignmentChange().ClassName(), "TWMLAlignmentChange");
        EXPECT_STREQ(TWMLImage().ClassName(), "TWMLImage");
        EXPECT_STREQ(TWMLSelect().ClassName(), "TWMLSelect");
        EXPECT_STREQ(TWMLPostVariable().ClassName(), "TWMLPostVariable");
        EXPECT_STREQ(TWMLPivrelVersion().ClassName(), "TWMLPivrelVersion");
        EXPECT_STREQ(TWMLObject().ClassName(), "TWMLObject");

        TWMLObject record;
        record.VarObject.Edit().DefaultValue = "d";
        record.VarObject.Edit().DefaultIValue = "di";
        EXPECT_EQ(record.GetVarValue(), "d");
        EXPECT_EQ(record.GetIVarValue(), "di");
        record.VarObject.Edit().VarValue = "v";
        record.VarObject.Edit().iVarValue = "iv";
        EXPECT_EQ(record.GetVarValue(), "v");
        EXPECT_EQ(record.GetIVarValue(), "iv");
    }

} // namespace
} // namespace pivrel::wml

namespace pivrel::wml {
namespace {

    // Cutting elements out of a cut text one after another must give what the plain operations give
    // on a string that is searched from the start again after every deletion.
    TEST(WMLCutText, AgreesWithSearchingTheWholeTextAfterEveryCut)
    {
        const char* const pieces[] = { "<c", "ard", "<card", "</card>", "</ca", "rd>", "/>", ">", "x", "<t",
            "<tpl", "</tpl>", " id=\"a\"", "<" };
        std::uint32_t state = 12345;
        const auto next = [&](std::uint32_t bound) {
            state = state * 1664525u + 1013904223u;
            return (state >> 8) % bound;
        };
        for (int round = 0; round < 3000; ++round) {
            std::string source;
            const std::uint32_t count = next(24);
            for (std::uint32_t i = 0; i < count; ++i)
                source += pieces[next(std::size(pieces))];
            std::string plain = source;
            TCutText cut(source);
            const TElementSlots card = AddElementSlots(cut, "<card", "</card>");
            const TElementSlots tpl = AddElementSlots(cut, "<tpl", "</tpl>");
            for (int step = 0; step < 40; ++step) {
                SCOPED_TRACE(source + " at step " + std::to_string(step));
                const TTextRange t = FindElement(cut, tpl, cut.Size());
                EXPECT_EQ(t.Found() ? cut.Extract(t.Pos, t.Count) : std::string(), GetElement("tpl", plain));
                const TTextRange c = FindElement(cut, card, cut.Size());
                const std::string element = c.Found() ? cut.Extract(c.Pos, c.Count) : std::string();
                ASSERT_EQ(element, GetElement("card", plain));
                if (!c.Found())
                    break;
                cut.Remove(c.Pos, c.Count);
                DeleteElement("card", plain);
                ASSERT_EQ(cut.Extract(0, cut.Size()), plain);
            }
        }
    }

} // namespace
} // namespace pivrel::wml
