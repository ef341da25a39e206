#include "engine/WMLBrowser.h"
#include "engine/tests/BrowserFixture.h"

namespace pivrel::engine {
namespace {

    using namespace browsertest;

    // The Cookie line of a request, or empty.
    std::string CookieLine(const std::string& request)
    {
        const std::size_t start = request.find("\r\nCookie: ");
        if (start == std::string::npos)
            return {};
        return request.substr(start + 10, request.find("\r\n", start + 2) - start - 10);
    }

    TScriptedResponse SetsCookies(
        const std::vector<std::string>& cookies, const std::string& body = kTwoCards)
    {
        std::vector<std::string> headers = { "Content-Type: text/vnd.wap.wml" };
        for (const std::string& cookie : cookies)
            headers.push_back("Set-Cookie: " + cookie);
        return MakeResponse("HTTP/1.0 200 OK", headers, body);
    }

    class CookieTest : public TBrowserFixture
    {
    protected:
        // Navigates and returns the Cookie line of each request it made.
        std::vector<std::string> Visit(const std::string& address)
        {
            const std::size_t before = server.RequestCount();
            browser.Navigate(address, true, false, false);
            std::vector<std::string> lines;
            const std::vector<std::string> requests = server.Requests();
            for (std::size_t i = before; i < requests.size(); ++i)
                lines.push_back(CookieLine(requests[i]));
            return lines;
        }

        net::TCookieTime now = 1700000000;
    };

    TEST_F(CookieTest, ACookieSetBeforeARedirectionGoesWithTheRequestsAfterIt)
    {
        TScriptedResponse redirect = MakeResponse("HTTP/1.0 302 Found",
            { "Location: " + server.Url("/in/deck.wml"), "Set-Cookie: sid=42; Path=/" }, "");
        server.AddResponse(redirect);
        server.AddResponse(Ok(Deck("<card id=\"p\"><p><img src=\"p.wbmp\" alt=\"pic\"/></p></card>")));
        server.AddResponse(Ok("not a picture", "image/vnd.wap.wbmp"));
        EXPECT_EQ(Visit(server.Url("/login")), (std::vector<std::string> { "", "sid=42", "sid=42" }));

        server.AddResponse(Ok(kOtherDeck));
        EXPECT_EQ(Visit(server.Url("/other.wml")), (std::vector<std::string> { "sid=42" }));
    }

    TEST_F(CookieTest, CookiesForAnotherSiteOrAPublicSuffixAreRefused)
    {
        // Through a proxy, so that the requests can name hosts of the real world.
        browser.SetProxyHost("127.0.0.1");
        browser.SetProxyPort(server.Port());
        server.AddResponse(SetsCookies({ "wide=1; Domain=co.uk", "site=2; Domain=example.co.uk",
            "other=3; Domain=example.com", "host=4" }));
        server.AddResponse(Ok(kOtherDeck));
        server.AddResponse(Ok(kTwoCards));
        server.AddResponse(Ok(kOtherDeck));
        Visit("http://www.example.co.uk/a.wml");
        EXPECT_EQ(Visit("http://shop.example.co.uk/b.wml"), (std::vector<std::string> { "site=2" }));
        EXPECT_EQ(Visit("http://www.example.co.uk/c.wml"), (std::vector<std::string> { "site=2; host=4" }));
        EXPECT_EQ(Visit("http://www.example.com/d.wml"), (std::vector<std::string> { "" }));
    }

    TEST_F(CookieTest, ASecureCookieNeverTravelsOverPlainHttp)
    {
        browser.CookieJar.SetCookie("https://127.0.0.1/", "safe=1; Secure");
        server.AddResponse(SetsCookies({ "plain=2", "claimed=3; Secure" }));
        server.AddResponse(Ok(kOtherDeck));
        EXPECT_EQ(Visit(server.Url("/a.wml")), (std::vector<std::string> { "" }));
        EXPECT_EQ(Visit(server.Url("/b.wml")), (std::vector<std::string> { "plain=2" }));
    }

    TEST_F(CookieTest, ACookieIsSentUntilItExpires)
    {
        browser.CookieJar = net::TCookieJar([this] { return now; });
        server.AddResponse(SetsCookies({ "brief=1; Max-Age=60", "session=2" }));
        server.AddResponse(Ok(kOtherDeck));
        server.AddResponse(Ok(kTwoCards));
        Visit(server.Url("/a.wml"));
        now += 59;
        EXPECT_EQ(Visit(server.Url("/b.wml")), (std::vector<std::string> { "brief=1; session=2" }));
        now += 1;
        EXPECT_EQ(Visit(server.Url("/c.wml")), (std::vector<std::string> { "session=2" }));
    }

    TEST_F(CookieTest, WithCookiesOffNoneIsKeptOrSent)
    {
        browser.CookieJar.SetCookie(server.Url("/"), "old=1");
        browser.CookiesEnabled = false;
        server.AddResponse(SetsCookies({ "new=2" }));
        server.AddResponse(Ok(kOtherDeck));
        EXPECT_EQ(Visit(server.Url("/a.wml")), (std::vector<std::string> { "" }));
        browser.CookiesEnabled = true;
        EXPECT_EQ(Visit(server.Url("/b.wml")), (std::vector<std::string> { "old=1" }));
    }

} // namespace
} // namespace pivrel::engine
