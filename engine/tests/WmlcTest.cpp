#include "engine/Wmlc.h"

#include "engine/tests/BrowserFixture.h"

#include "tests/support/WmlcEncoder.h"

namespace pivrel::engine {
namespace {

    using namespace browsertest;

    const std::string kDeckText
        = "<?xml version=\"1.0\"?>\n<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
          "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\n"
          "<wml><card id=\"a\" title=\"First\"><p>Fish &amp; chips for $(who) "
          "<a href=\"#b\">next</a></p></card>"
          "<card id=\"b\"><p>Two</p></card></wml>\n";

    // A deck whose body repeats one long string of the table by reference, many times over.
    std::string StringTableBomb()
    {
        constexpr std::size_t kStringLength = 100000;
        constexpr std::size_t kReferences = 100000;
        std::string bytes = { 0x03, 0x04, 0x6A };
        // The table length as a multi-byte integer: 100001 = 0x186A1.
        bytes += { char(0x86), char(0x8D), 0x21 };
        bytes += std::string(kStringLength, 'A') + '\0';
        bytes += char(0x7F); // <wml> with content
        for (std::size_t i = 0; i < kReferences; ++i)
            bytes += { char(0x83), 0x00 };
        bytes += char(0x01);
        return bytes;
    }

    TEST(Wmlc, DecodesACompiledDeckIntoTextWithItsVariablesAndEntities)
    {
        const TWmlcResult result = DecodeWmlc(testsupport::EncodeWmlc(kDeckText));
        ASSERT_TRUE(result.Ok) << result.Reason;
        EXPECT_NE(result.Text.find("<card id=\"a\" title=\"First\">"), std::string::npos) << result.Text;
        EXPECT_NE(result.Text.find("Fish &amp; chips for $(who)"), std::string::npos) << result.Text;
        EXPECT_NE(result.Text.find("<a href=\"#b\">next</a>"), std::string::npos) << result.Text;
    }

    TEST(Wmlc, RefusesBodiesThatAreNotCompiledDecksWithAReason)
    {
        const std::string whole = testsupport::EncodeWmlc(kDeckText);
        const std::string cases[] = { "", "\x03", "\x03\x04\x6A", "<?xml version=\"1.0\"?><wml/>",
            std::string("\x03\x04\x6A\x7F", 4), whole.substr(0, whole.size() / 2),
            std::string("\x03\x04\x6A\x05"
                        "ab",
                6),
            StringTableBomb() };
        for (const std::string& bytes : cases) {
            const TWmlcResult result = DecodeWmlc(bytes);
            EXPECT_FALSE(result.Ok) << bytes.size();
            EXPECT_TRUE(result.Reason.starts_with("Can't decode the compiled deck: ")) << result.Reason;
        }
        EXPECT_EQ(DecodeWmlc(StringTableBomb()).Reason,
            "Can't decode the compiled deck: its text would be too large");
        EXPECT_FALSE(DecodeWmlc(whole, 20).Ok);
    }

    TEST(Wmlc, ReadsADeckThatDoesNotNameItsDocumentType)
    {
        // Version 1.3, unknown public identifier, UTF-8, empty string table, <wml><card/></wml>.
        const std::string bytes("\x03\x01\x6A\x00\x7F\x27\x01\x01", 8);
        const TWmlcResult result = DecodeWmlc(bytes);
        ASSERT_TRUE(result.Ok) << result.Reason;
        EXPECT_NE(result.Text.find("<wml><card/></wml>"), std::string::npos) << result.Text;
    }

    TEST(Wmlc, TellsDeckTextFromACompiledDeck)
    {
        EXPECT_TRUE(LooksLikeDeckText("<?xml version=\"1.0\"?><wml/>"));
        EXPECT_TRUE(LooksLikeDeckText("\xEF\xBB\xBF\r\n  <wml/>"));
        EXPECT_FALSE(LooksLikeDeckText(testsupport::EncodeWmlc(kDeckText)));
        EXPECT_FALSE(LooksLikeDeckText("   "));
        EXPECT_FALSE(LooksLikeDeckText("wml"));
    }

    TEST(Wmlc, KnowsItsContentTypeAndFileName)
    {
        EXPECT_TRUE(IsWmlcContentType("application/vnd.wap.wmlc"));
        EXPECT_TRUE(IsWmlcContentType("Application/VND.WAP.WMLC ; charset=utf-8"));
        EXPECT_FALSE(IsWmlcContentType("application/vnd.wap.wmlcscriptc"));
        EXPECT_FALSE(IsWmlcContentType("text/vnd.wap.wml"));
        EXPECT_TRUE(IsWmlcFileName("/tmp/deck.WMLC"));
        EXPECT_FALSE(IsWmlcFileName(".wmlc"));
        EXPECT_FALSE(IsWmlcFileName("/tmp/deck.wml"));
    }

    using WmlcBrowserTest = TBrowserFixture;

    TEST_F(WmlcBrowserTest, AFetchedCompiledDeckLoadsAsItsTextWould)
    {
        server.AddResponse(Ok(testsupport::EncodeWmlc(kDeckText), "application/vnd.wap.wmlc"));
        browser.Navigate(server.Url("/d.wmlc"), true, false, false);
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));
        EXPECT_TRUE(browser.FailureReason.empty());
        // The page source is the decoded text.
        ASSERT_FALSE(browser.Body().empty());
        EXPECT_TRUE(browser.Body()[0].starts_with("<?xml")) << browser.Body()[0];
    }

    TEST_F(WmlcBrowserTest, ACompiledDeckThatDoesNotDecodeFailsAndLeavesThePage)
    {
        LoadFirstDeck();
        server.AddResponse(Ok("not compiled at all", "application/vnd.wap.wmlc"));
        browser.Navigate(server.Url("/bad.wmlc"), true, false, false);
        EXPECT_EQ(std::count(events.begin(), events.end(), "failed"), 1);
        EXPECT_TRUE(browser.FailureReason.starts_with("Can't decode the compiled deck"))
            << browser.FailureReason;
        EXPECT_EQ(browser.CurrentURL(), server.Url("/d.wml"));
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));

        // The next navigation starts with no reason left over.
        server.AddResponse(Ok(kOtherDeck));
        browser.Navigate(server.Url("/other.wml"), true, false, false);
        EXPECT_TRUE(browser.FailureReason.empty());
    }

    TEST_F(WmlcBrowserTest, ALocalCompiledDeckIsDecodedByItsName)
    {
        const std::string good = WriteFile("deck.wmlc", testsupport::EncodeWmlc(kDeckText));
        browser.Navigate("file://" + good, true, false, false);
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));

        // A text deck under a compiled deck's name is read as the text it is.
        const std::string text = WriteFile("text.wmlc", kOtherDeck);
        browser.Navigate("file://" + text, true, false, false);
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "x" }));

        const std::string bad = WriteFile("bad.wmlc", std::string("\x03\x04\x6A\x00\x7F", 5));
        events.clear();
        browser.Navigate("file://" + bad, true, false, false);
        EXPECT_EQ(events.back(), "idle");
        EXPECT_EQ(std::count(events.begin(), events.end(), "failed"), 1);
        EXPECT_FALSE(browser.FailureReason.empty());
    }

} // namespace
} // namespace pivrel::engine
