#include "wml/Charset.h"

#include <gtest/gtest.h>
#include <string>

namespace pivrel::wml {
namespace {

    const std::string kEuro = "\xE2\x82\xAC";
    const std::string kEAcute = "\xC3\xA9";
    const std::string kFffd = "\xEF\xBF\xBD";

    std::string Deck(const std::string& declaration, const std::string& body)
    {
        return declaration + "<wml><card><p>" + body + "</p></card></wml>";
    }

    TEST(CharsetTest, XmlDeclarationEncodingIsFoundInItsUsualSpellings)
    {
        struct Case {
            std::string text;
            std::string expected;
        };

        const Case cases[] = {
            { R"(<?xml version="1.0" encoding="ISO-8859-1"?><wml/>)", "ISO-8859-1" },
            { R"(<?xml version='1.0' encoding='utf-8'?>)", "utf-8" },
            { R"(<?XML VERSION="1.0" ENCODING="Windows-1252"?>)", "Windows-1252" },
            { "<?xml version=\"1.0\"\n  encoding = \"koi8-r\" ?>", "koi8-r" },
            { "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>", "utf-8" },
            { "  \r\n<?xml version=\"1.0\" encoding=\"latin1\"?>", "latin1" },
            // Not a declaration, or no encoding in it.
            { R"(<?xml version="1.0"?><p encoding="x"/>)", "" },
            { R"(<wml><?xml version="1.0" encoding="utf-8"?>)", "" },
            { R"(<?xml-stylesheet encoding="utf-8"?>)", "" },
            { R"(<?xml version="1.0" myencoding="utf-8"?>)", "" },
            { R"(<?xml version="1.0" encoding=utf-8?>)", "" },
            { R"(<?xml version="1.0" encoding="utf-8)", "" },
            { R"(<?xml version="1.0" encoding="utf-8')", "" },
            { "<?xml encoding", "" },
            { "<?xml", "" },
            { "", "" },
        };
        for (const Case& c : cases)
            EXPECT_EQ(XmlDeclarationEncoding(c.text), c.expected) << c.text;
    }

    TEST(CharsetTest, Utf8ValidityRejectsEveryIllFormedSequence)
    {
        const std::string valid[] = {
            "",
            "plain ascii text that is longer than eight bytes",
            kEAcute + kEuro + "\xF0\x9F\x98\x80",
            "\xF4\x8F\xBF\xBF",
            "\xED\x9F\xBF",
        };
        for (const std::string& text : valid)
            EXPECT_TRUE(IsValidUtf8(text)) << text;
        const std::string invalid[] = {
            "\x80",
            "abcdefgh\xE9",
            "\xC0\xAF",
            "\xC1\xBF",
            "\xE0\x80\xAF",
            "\xED\xA0\x80",
            "\xF4\x90\x80\x80",
            "\xF5\x80\x80\x80",
            "\xFF",
            "\xE2\x82",
            "abc\xF0\x9F\x98",
        };
        for (const std::string& text : invalid)
            EXPECT_FALSE(IsValidUtf8(text)) << text;
    }

    TEST(CharsetTest, UndeclaredTextIsKeptWhenUtf8AndOtherwiseReadAsWindows1252)
    {
        const std::string utf8 = Deck("", "caf" + kEAcute + " " + kEuro + " \xF0\x9F\x98\x80");
        EXPECT_EQ(DeckTextToUtf8(utf8), utf8);

        EXPECT_EQ(DeckTextToUtf8("\x80 caf\xE9"), kEuro + " caf" + kEAcute);
        EXPECT_EQ(DeckTextToUtf8("\x93quoted\x94 \x85"), "\xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x80\xA6");
        // The code page's undefined bytes come out as the C1 controls of the same value.
        EXPECT_EQ(DeckTextToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
        EXPECT_EQ(DeckTextToUtf8("\xFF\xA0"), "\xC3\xBF\xC2\xA0");
        EXPECT_EQ(DeckTextToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    }

    TEST(CharsetTest, DeclaredCharsetIsHonoured)
    {
        const std::string latin1 = Deck(R"(<?xml version="1.0" encoding="ISO-8859-1"?>)", "caf\xE9");
        EXPECT_EQ(
            DeckTextToUtf8(latin1), Deck(R"(<?xml version="1.0" encoding="ISO-8859-1"?>)", "caf" + kEAcute));

        // A valid UTF-8 sequence is still read as two Latin-1 characters when the deck says so.
        const std::string latin1Lookalike = "<?xml version='1.0' encoding='iso-8859-1'?>" + kEAcute;
        EXPECT_EQ(
            DeckTextToUtf8(latin1Lookalike), "<?xml version='1.0' encoding='iso-8859-1'?>\xC3\x83\xC2\xA9");

        const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + kEuro;
        EXPECT_EQ(DeckTextToUtf8(utf8), utf8);

        // KOI8-R goes through the system's converter: 0xC1 is Cyrillic small a.
        EXPECT_EQ(DeckTextToUtf8("<?xml version=\"1.0\" encoding=\"KOI8-R\"?>\xC1"),
            "<?xml version=\"1.0\" encoding=\"KOI8-R\"?>\xD0\xB0");
    }

    TEST(CharsetTest, ContentTypeCharsetWinsOverTheDeclaration)
    {
        const std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>caf\xE9";
        EXPECT_EQ(
            DeckTextToUtf8(text, "ISO-8859-1"), "<?xml version=\"1.0\" encoding=\"utf-8\"?>caf" + kEAcute);
        EXPECT_EQ(DeckTextToUtf8(text, " \"Windows-1252\" "),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>caf" + kEAcute);

        const std::string declaredLatin1 = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>" + kEAcute;
        EXPECT_EQ(DeckTextToUtf8(declaredLatin1, "utf-8"), declaredLatin1);
        // An unusable Content-Type charset leaves the decision to the declaration.
        EXPECT_EQ(DeckTextToUtf8(declaredLatin1, "no-such-charset"),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\xC3\x83\xC2\xA9");
    }

    TEST(CharsetTest, UnknownOrImplausibleCharsetCountsAsNone)
    {
        const std::string names[] = { "no-such-charset", "", "   ", "utf-16", "UTF-32LE", "x\"y" };
        for (const std::string& name : names) {
            const std::string declared = "<?xml version=\"1.0\" encoding=\"" + name + "\"?>";
            EXPECT_EQ(DeckTextToUtf8(declared + kEuro), declared + kEuro) << name;
            EXPECT_EQ(DeckTextToUtf8(declared + "\x80"), declared + kEuro) << name;
        }
        // From the Content-Type a 16-bit charset is believed; only unknown names are ignored.
        for (const std::string name : { "no-such-charset", "", "   ", "x\"y", "utf-8x" })
            EXPECT_EQ(DeckTextToUtf8("\x80", name), kEuro) << name;
        EXPECT_EQ(DeckTextToUtf8(std::string("A\0", 2), "utf-16le"), "A");
    }

    TEST(CharsetTest, BytesThatDoNotFitBecomeReplacementCharacters)
    {
        const std::string utf8Decl = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

        struct Case {
            std::string body;
            std::string expected;
        };

        const Case cases[] = {
            { "a\x80z", "a" + kFffd + "z" },
            { "a\xE2\x82", "a" + kFffd }, // truncated at the end
            { "a\xE2\x82z", "a" + kFffd + "z" }, // truncated in the middle: one mark
            { "\xF0\x9F\x98", kFffd }, // four-byte form cut short
            { "\xC0\xAF", kFffd + kFffd }, // overlong
            { "\xED\xA0\x80", kFffd + kFffd + kFffd }, // surrogate
            { "\xF8\x88\x80\x80\x80", kFffd + kFffd + kFffd + kFffd + kFffd },
            { kEAcute + "\xFF" + kEuro, kEAcute + kFffd + kEuro },
        };
        for (const Case& c : cases)
            EXPECT_EQ(DeckTextToUtf8(utf8Decl + c.body), utf8Decl + c.expected) << c.body;

        // Shift_JIS: a lead byte at the very end, and a lead byte followed by an impossible trail.
        const std::string sjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
        EXPECT_EQ(DeckTextToUtf8(sjis + "A\x82"), sjis + "A" + kFffd);
        EXPECT_EQ(DeckTextToUtf8(sjis + "\x82\xA0"), sjis + "\xE3\x81\x82");
        const std::string broken = DeckTextToUtf8(sjis + "\x82\x20" + "z");
        EXPECT_TRUE(IsValidUtf8(broken));
        EXPECT_NE(broken.find(kFffd), std::string::npos);
        EXPECT_EQ(broken.back(), 'z');
    }

    TEST(CharsetTest, ByteOrderMarksAreDroppedAndRead)
    {
        EXPECT_EQ(DeckTextToUtf8("\xEF\xBB\xBF<wml/>"), "<wml/>");
        EXPECT_EQ(DeckTextToUtf8("\xEF\xBB\xBF<wml/>", "utf-8"), "<wml/>");
        EXPECT_EQ(DeckTextToUtf8("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>"),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
        EXPECT_EQ(DeckTextToUtf8("\xEF\xBB\xBF"), "");
        // Only a mark at the very start is one.
        EXPECT_EQ(DeckTextToUtf8("a\xEF\xBB\xBF"), "a\xEF\xBB\xBF");
        EXPECT_EQ(DeckTextToUtf8(std::string("\xFF\xFE<\0w\0", 6)), "<w");
        EXPECT_EQ(DeckTextToUtf8(std::string("\xFE\xFF\0<\0w", 6)), "<w");
        EXPECT_EQ(DeckTextToUtf8(std::string("\xFF\xFE<\0w", 5)), "<" + kFffd);
    }

    TEST(CharsetTest, ResultIsAlwaysValidUtf8)
    {
        std::string everyByte;
        for (int i = 0; i < 256; ++i)
            everyByte += char(i);
        const std::string charsets[] = { "", "utf-8", "iso-8859-1", "koi8-r", "shift_jis", "utf-16le",
            "iso-2022-jp", "euc-kr", "big5", "gb18030", "utf-7", "windows-1251" };
        for (const std::string& charset : charsets) {
            for (const std::string& text :
                { everyByte, everyByte + everyByte.substr(0, 129), std::string("\x1B$B") }) {
                const std::string out = DeckTextToUtf8(text, charset);
                EXPECT_TRUE(IsValidUtf8(out)) << charset;
            }
        }
    }

} // namespace
} // namespace pivrel::wml
