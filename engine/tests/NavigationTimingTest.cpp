#include "engine/CardImageLoader.h"
#include "engine/WMLBrowser.h"
#include "engine/tests/BrowserFixture.h"

namespace pivrel::engine {
namespace {

    using namespace browsertest;
    using NavigationTimingTest = TBrowserFixture;

    // A 10 x 2 type-0 picture: the top row white, the bottom row black.
    const std::string kWbmp { "\x00\x00\x0A\x02\xFF\xC0\x00\x00", 8 };

    TScriptedResponse Picture(int delayMs = 0)
    {
        TScriptedResponse response
            = MakeResponse("HTTP/1.0 200 OK", { "Content-Type: image/vnd.wap.wbmp" }, kWbmp);
        if (delayMs > 0) {
            // The header goes at once, the picture after the pause: the fetch is caught half-way.
            const std::string whole = response.Chunks[0];
            response.Chunks = { whole.substr(0, whole.size() - kWbmp.size()), kWbmp };
            response.DelayMs = delayMs;
        }
        return response;
    }

    std::vector<const wml::TWMLImage*> Images(const wml::TWMLDeck& deck)
    {
        std::vector<const wml::TWMLImage*> images;
        for (const auto& entry : deck.CardList) {
            if (!entry.Card)
                continue;
            for (const auto& element : entry.Card->Elements) {
                if (element.Object->Class() == wml::TWMLClass::Image)
                    images.push_back(&element.Object->As<wml::TWMLImage>());
            }
        }
        return images;
    }

    const std::string kPictureDeck = Deck("<card id=\"p\"><p><img src=\"p.wbmp\" alt=\"pic\"/>"
                                          "<img src=\"/gone.wbmp\" alt=\"gone\"/></p></card>"
                                          "<card id=\"q\"><p>after</p></card>");

    TEST_F(NavigationTimingTest, PicturesAreFetchedWhileTheCardIsParsed)
    {
        server.AddResponse(Ok(kPictureDeck));
        server.AddResponse(Picture());
        browser.Navigate(server.Url("/dir/d.wml"), true, false, false);

        ASSERT_EQ(server.RequestCount(), 3u);
        const std::vector<std::string> requests = server.Requests();
        EXPECT_EQ(requests[1],
            "GET /dir/p.wbmp HTTP/1.0\r\nAccept: image/x-wap,wbmp; */*\r\nUser-Agent: Pivrel 2.2 WML 1.1\r\n"
            "Host: "
                + server.HostPort() + "\r\n\r\n");
        EXPECT_EQ(FirstLine(requests[2]), "GET /gone.wbmp HTTP/1.0");
        const std::vector<const wml::TWMLImage*> images = Images(browser.WMLDeck);
        ASSERT_EQ(images.size(), 2u);
        EXPECT_EQ(images[0]->SourceWidth, 10);
        EXPECT_EQ(images[0]->SourceHeight, 2);
        EXPECT_EQ(images[0]->Image.Width, 10);
        // The missing picture shows its alternative text in a box instead.
        EXPECT_EQ(images[1]->SourceWidth, 0);
        EXPECT_EQ(images[1]->SourceHeight, 0);
        EXPECT_FALSE(images[1]->Image.Empty());
        // The engine's own client saw nothing of the picture fetches.
        EXPECT_EQ(events,
            (std::vector<std::string> { "busy", "connecting", "connect", "waiting", "waiting", "disconnect",
                "check", "parsing", "complete", "idle" }));
        EXPECT_TRUE(CacheFiles().empty());
    }

    // A card's records, and so its pictures, are built when the card is first entered; a Stop
    // during one card's pictures leaves the next card's alone.
    TEST_F(NavigationTimingTest, ACardsPicturesAreFetchedWhenItIsFirstEntered)
    {
        server.AddResponse(Ok(Deck("<card id=\"a\"><p><img src=\"slow.wbmp\" alt=\"slow\"/></p></card>"
                                   "<card id=\"b\"><p><img src=\"p.wbmp\" alt=\"pic\"/></p></card>")));
        TScriptedResponse stalled = Picture(0);
        stalled.KeepOpen = true;
        stalled.Chunks[0].resize(stalled.Chunks[0].size() - 2);
        server.AddResponse(stalled);
        server.AddResponse(Picture());
        std::unique_ptr<base::TEventHandle> stop = loop.StartTimer(50, false, [&] { browser.Stop(); });
        browser.Navigate(server.Url("/dir/d.wml"), true, false, false);
        EXPECT_EQ(server.RequestCount(), 2u);
        EXPECT_EQ(browser.WMLDeck.CardList.at(1).Card, nullptr);

        browser.Navigate("#b", true, false, false);
        ASSERT_EQ(server.RequestCount(), 3u);
        EXPECT_EQ(FirstLine(server.Requests()[2]), "GET /dir/p.wbmp HTTP/1.0");
        const std::vector<const wml::TWMLImage*> images = Images(browser.WMLDeck);
        ASSERT_EQ(images.size(), 2u);
        EXPECT_EQ(images[0]->SourceWidth, 0);
        EXPECT_EQ(images[1]->SourceWidth, 10);

        browser.Navigate("#a", true, false, false);
        browser.Navigate("#b", true, false, false);
        EXPECT_EQ(server.RequestCount(), 3u);
    }

    TEST_F(NavigationTimingTest, PictureAddressesResolveAgainstThePageShown)
    {
        TBrowserImageLoader loader(browser);

        struct TCase {
            std::string page;
            std::string src;
            std::string expected;
        };

        const std::vector<TCase> cases {
            { "http://h.example/a/b/deck.wml#c", "p.wbmp", "http://h.example/a/b/p.wbmp" },
            { "http://h.example/a/deck.wml", "/top.wbmp", "http://h.example/top.wbmp" },
            { "http://h.example/a/deck.wml", "http://o.example/x.wbmp", "http://o.example/x.wbmp" },
            { "file:///srv/decks/d.wml", "file:///srv/pics/p.wbmp", "file:///srv/pics/p.wbmp" },
        };
        for (const TCase& c : cases) {
            browser.SetCurrentURL(c.page);
            EXPECT_EQ(loader.PictureAddress(c.src), c.expected) << c.page << " + " << c.src;
        }
    }

    TEST_F(NavigationTimingTest, LocalDeckShowsLocalPictures)
    {
        const std::string picture = WriteFile("p.wbmp", kWbmp);
        const std::string deck = WriteFile(
            "d.wml", Deck("<card id=\"p\"><p><img src=\"file://" + picture + "\" alt=\"pic\"/></p></card>"));
        ASSERT_TRUE(browser.LoadLocalFile("file://" + deck));
        const std::vector<const wml::TWMLImage*> images = Images(browser.WMLDeck);
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0]->SourceWidth, 10);
        EXPECT_EQ(server.ConnectionCount(), 0u);
    }

    TEST_F(NavigationTimingTest, NavigationDuringAPictureFetchEndsItAndWaitsForTheParse)
    {
        server.AddResponse(Ok(kPictureDeck));
        server.AddResponse(Picture(300));
        server.AddResponse(Ok(kOtherDeck));
        std::vector<bool> answers;
        std::unique_ptr<base::TEventHandle> during = loop.StartTimer(100, false, [&] {
            events.push_back(browser.Parsing() ? "asked while parsing" : "asked");
            // The latest request wins; Back has no step to take.
            answers.push_back(browser.Navigate(server.Url("/ignored.wml"), true, false, false));
            answers.push_back(browser.Back());
            answers.push_back(browser.Navigate(server.Url("/next.wml"), true, false, false));
            // Nothing may be loaded behind the parse's back either.
            answers.push_back(browser.LoadLocalFile("file:///dev/null"));
            answers.push_back(browser.Fetch(server.Url("/ignored.wml"), false));
        });
        browser.Navigate(server.Url("/d.wml"), true, false, false);
        EXPECT_EQ(answers, (std::vector<bool> { true, false, true, false, false }));
        // The first deck was parsed whole before anything else happened, but the navigation ended
        // its picture fetches: the running one at once, the next one before it began.
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "p", "q" }));
        EXPECT_EQ(Images(browser.WMLDeck)[0]->SourceWidth, 0);
        EXPECT_EQ(Images(browser.WMLDeck)[1]->SourceWidth, 0);
        const std::vector<std::string> expected { "busy", "connecting", "connect", "waiting", "waiting",
            "disconnect", "check", "parsing", "asked while parsing", "complete", "idle" };
        EXPECT_EQ(events, expected);

        ASSERT_TRUE(
            RunFor(5000, [&] { return CardIDs(browser.WMLDeck) == std::vector<std::string> { "x" }; }));
        const std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(requests.size(), 3u);
        EXPECT_EQ(FirstLine(requests[2]), "GET /next.wml HTTP/1.0");
        EXPECT_EQ(browser.CurrentURL(), server.Url("/next.wml"));
        EXPECT_EQ(browser.History.URLHistory(),
            (base::TStringList { server.Url("/d.wml"), server.Url("/next.wml") }));
    }

    TEST_F(NavigationTimingTest, StopEndsEveryPendingPictureFetch)
    {
        server.AddResponse(Ok(kPictureDeck));
        TScriptedResponse stalled = Picture(0);
        stalled.KeepOpen = true;
        stalled.Chunks[0].resize(stalled.Chunks[0].size() - 2);
        server.AddResponse(stalled);
        std::unique_ptr<base::TEventHandle> stop = loop.StartTimer(50, false, [&] { browser.Stop(); });
        browser.Navigate(server.Url("/d.wml"), true, false, false);
        const std::vector<const wml::TWMLImage*> images = Images(browser.WMLDeck);
        ASSERT_EQ(images.size(), 2u);
        EXPECT_EQ(images[0]->SourceWidth, 0);
        EXPECT_EQ(images[1]->SourceWidth, 0);
        EXPECT_FALSE(images[1]->Image.Empty());
        RunFor(300, [] { return false; });
        EXPECT_EQ(browser.CurrentURL(), server.Url("/d.wml"));
        // The second picture was never asked for.
        EXPECT_EQ(server.RequestCount(), 2u);
    }

    TEST_F(NavigationTimingTest, NetworkDecksCannotReachLocalFiles)
    {
        const std::string picture = WriteFile("p.wbmp", kWbmp);
        const std::string local = WriteFile("local.wml", Deck("<card id=\"l\"><p>local</p></card>"));
        server.AddResponse(Ok(Deck("<card id=\"r\"><p><img src=\"file://" + picture
            + "\" alt=\"pic\"/><img src=\"FILE://" + picture + "\" alt=\"pic\"/></p></card>")));
        browser.Navigate(server.Url("/remote.wml"), true, false, false);
        for (const wml::TWMLImage* image : Images(browser.WMLDeck))
            EXPECT_EQ(image->SourceWidth, 0);

        const std::string links[] = { "file://" + local, "FILE://" + local };
        for (const std::string& link : links) {
            events.clear();
            browser.FollowLink(link, true, false);
            EXPECT_EQ(events, (std::vector<std::string> { "busy", "failed", "idle" })) << link;
            EXPECT_EQ(browser.FailureReason, "A page from the network may not open local files");
            EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "r" })) << link;
        }
        // The user may still open the file, and from a local deck its links may too.
        browser.Navigate("file://" + local, true, false, false);
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "l" }));
        browser.FollowLink("file://" + local + "#l", true, false);
        EXPECT_EQ(browser.FailureReason, "");
    }

    TEST_F(NavigationTimingTest, EachPictureIsDecodedOnceAndTheDeckHasABudget)
    {
        // Thirty tags share one 4096 x 4096 picture, kept at a bit a pixel (2 MiB); a second
        // picture no longer fits the budget and shows its alternative text.
        std::string huge("\x00\x00\xA0\x00\xA0\x00", 6);
        huge.append(std::size_t(4096) * 4096 / 8, '\xFF');
        std::string tags;
        for (int i = 0; i < 30; ++i)
            tags += "<img src=\"huge.wbmp\" alt=\"h\"/>";
        tags += "<img src=\"other.wbmp\" alt=\"o\"/>";
        browser.PictureBudget = std::size_t(3) << 20;
        server.AddResponse(Ok(Deck("<card id=\"b\"><p>" + tags + "</p></card>")));
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "Content-Type: image/vnd.wap.wbmp" }, huge));
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "Content-Type: image/vnd.wap.wbmp" }, huge));
        browser.Navigate(server.Url("/bomb.wml"), true, false, false);
        const std::vector<const wml::TWMLImage*> images = Images(browser.WMLDeck);
        ASSERT_EQ(images.size(), 31u);
        for (std::size_t i = 0; i < 30; ++i) {
            EXPECT_EQ(images[i]->SourceWidth, 4096) << i;
            EXPECT_TRUE(images[i]->Image.SharesPixelsWith(images[0]->Image)) << i;
        }
        EXPECT_EQ(images[0]->Image.PixelBytes(), std::size_t(2) << 20);
        EXPECT_EQ(images[30]->SourceWidth, 0);
        EXPECT_EQ(server.RequestCount(), 3u);
    }

    TEST_F(NavigationTimingTest, NavigationDuringAFetchTakesOverQuietly)
    {
        TScriptedResponse slow = Ok(Deck("<card id=\"slow\"><p>slow</p></card>"));
        const std::string whole = slow.Chunks[0];
        slow.Chunks = { whole.substr(0, whole.size() / 2), whole.substr(whole.size() / 2) };
        slow.DelayMs = 400;
        server.AddResponse(slow);
        server.AddResponse(Ok(kOtherDeck));
        std::unique_ptr<base::TEventHandle> during = loop.StartTimer(
            100, false, [&] { browser.Navigate(server.Url("/fast.wml"), true, false, false); });
        browser.Navigate(server.Url("/slow.wml"), true, false, false);

        // The overtaken fetch neither fails aloud nor loads its half body over the new deck.
        EXPECT_EQ(std::count(events.begin(), events.end(), "failed"), 0);
        EXPECT_EQ(std::count(events.begin(), events.end(), "check"), 1);
        EXPECT_EQ(std::count(events.begin(), events.end(), "complete"), 1);
        EXPECT_EQ(events.front(), "busy");
        EXPECT_EQ(events.back(), "idle");
        EXPECT_EQ(std::count(events.begin(), events.end(), "idle"), 1);
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "x" }));
        EXPECT_EQ(browser.CurrentURL(), server.Url("/fast.wml"));
        EXPECT_EQ(browser.StatusCode, 200);
        EXPECT_EQ(browser.Body(), base::SplitLines(kOtherDeck));
        EXPECT_TRUE(CacheFiles().empty());
    }

    TEST_F(NavigationTimingTest, StopDuringAFetchFailsIt)
    {
        LoadFirstDeck();
        TScriptedResponse endless = Ok(kOtherDeck);
        endless.KeepOpen = true;
        endless.Chunks[0].resize(endless.Chunks[0].size() / 2);
        server.AddResponse(endless);
        std::unique_ptr<base::TEventHandle> stop = loop.StartTimer(100, false, [&] { browser.Stop(); });
        browser.Navigate(server.Url("/endless.wml"), true, false, false);
        EXPECT_EQ(events[events.size() - 2], "failed");
        EXPECT_EQ(browser.StatusCode, 404);
        EXPECT_EQ(CardIDs(browser.WMLDeck), (std::vector<std::string> { "a", "b" }));
        EXPECT_EQ(browser.CurrentURL(), server.Url("/d.wml"));
        EXPECT_TRUE(CacheFiles().empty());
    }

    const std::string kTimerDeck = Deck("<card id=\"a\" ontimer=\"#b\"><timer value=\"1\"/><p>A</p></card>"
                                        "<card id=\"b\"><p>B</p></card>");

    TEST_F(NavigationTimingTest, CardTimerNavigatesWhenItFires)
    {
        const std::string path = WriteFile("t.wml", kTimerDeck);
        browser.Navigate("file://" + path, true, false, false);
        wml::TWMLCard& card = *browser.Card(0);
        events.clear();
        browser.StartCardTimer(card);
        EXPECT_TRUE(card.Timer.Enabled);
        EXPECT_EQ(card.Timer.Interval, 100);
        EXPECT_TRUE(events.empty());
        ASSERT_TRUE(RunFor(3000, [&] { return browser.CurrentURL() == "file://" + path + "#b"; }));
        EXPECT_EQ(events, (std::vector<std::string> { "busy", "complete", "idle" }));
        EXPECT_EQ(browser.History.URLHistory().size(), 2u);

        // A stopped timer, and the timer of a card no longer in the deck, do nothing.
        browser.LoadLocalFile("file://" + path);
        events.clear();
        browser.StartCardTimer(*browser.Card(0));
        browser.StopCardTimer();
        wml::TWMLCard stray;
        stray.Timer.Enabled = true;
        stray.Timer.Interval = 10;
        stray.OnTimerNavigate = [&](const std::string&) { events.push_back("stray fired"); };
        browser.StartCardTimer(stray);
        RunFor(400, [] { return false; });
        EXPECT_TRUE(events.empty());
        EXPECT_TRUE(stray.Timer.Enabled);

        // A card without a timer element and a disabled timer does not start one.
        wml::TWMLCard& plain = *browser.Card(1);
        plain.OnTimerNavigate = [&](const std::string&) { events.push_back("plain fired"); };
        plain.Timer.Interval = 10;
        browser.StartCardTimer(plain);
        RunFor(100, [] { return false; });
        EXPECT_TRUE(events.empty());
    }

    TEST_F(NavigationTimingTest, CardTimerLoadingANewDeckFreesItsCardSafely)
    {
        const std::string next = WriteFile("n.wml", kOtherDeck);
        const std::string path = WriteFile("t.wml",
            Deck("<card id=\"a\" ontimer=\"file://" + next + "\"><timer value=\"1\"/><p>A</p></card>"));
        browser.Navigate("file://" + path, true, false, false);
        browser.StartCardTimer(*browser.Card(0));
        ASSERT_TRUE(
            RunFor(3000, [&] { return CardIDs(browser.WMLDeck) == std::vector<std::string> { "x" }; }));
        EXPECT_EQ(browser.CurrentURL(), "file://" + next);
    }

    TEST(NavigationTimingEngine, ExpiryAfterTheEngineHasGoneIsHarmless)
    {
        base::TPollEventLoop loop;
        auto browser = std::make_unique<TWMLBrowser>(loop);
        ASSERT_TRUE(browser->WMLDeck.Parse(base::SplitLines(kTimerDeck)));
        browser->WMLDeck.CardList[0].Card->TimerExpired();
        browser.reset();
        loop.ProcessPending();
        SUCCEED();
    }

} // namespace
} // namespace pivrel::engine
