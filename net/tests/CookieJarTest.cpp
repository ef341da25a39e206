#include "net/CookieJar.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/TempDir.h"

namespace pivrel::net {
namespace {

    // 2021-06-09 10:18:14 UTC.
    constexpr TCookieTime kJune2021 = 1623233894;

    struct DateCase {
        const char* text;
        std::optional<TCookieTime> expected;
    };

    TEST(CookieDate, ReadsTheFormsServersSendAndRefusesImpossibleDates)
    {
        const DateCase cases[] = {
            { "Wed, 09 Jun 2021 10:18:14 GMT", kJune2021 },
            { "Wednesday, 09-Jun-21 10:18:14 GMT", kJune2021 },
            { "Wed Jun  9 10:18:14 2021", kJune2021 },
            { "09 JUNE 2021 10:18:14", kJune2021 },
            { "Thu, 01 Jan 1970 00:00:00 GMT", 0 },
            { "Sat, 29 Feb 2031 00:00:00 GMT", std::nullopt },
            { "Thu, 29 Feb 2024 00:00:00 GMT", 1709164800 },
            { "Wed, 31 Jun 2021 10:18:14 GMT", std::nullopt },
            { "Wed, 09 Jun 2021 24:00:00 GMT", std::nullopt },
            { "Wed, 09 Jun 1600 10:18:14 GMT", std::nullopt },
            { "Wed, 09 Jun 2021", std::nullopt },
            { "tomorrow", std::nullopt },
            { "", std::nullopt },
            { "Wed, 09 Foo 2021 10:18:14 GMT", std::nullopt },
            { "Wed, 009 Jun 2021 10:18:14 GMT", std::nullopt },
        };
        for (const DateCase& c : cases)
            EXPECT_EQ(ParseCookieDate(c.text), c.expected) << c.text;
    }

    TEST(SetCookieParse, RefusesValuesThatNameNoCookie)
    {
        const char* refused[]
            = { "", "novalue", "=value", " =value", "a=b\x01", "a=b\nSet-Cookie: x=y", "a=b; Path=/\r" };
        for (const char* value : refused)
            EXPECT_FALSE(ParseSetCookie(value, 0)) << value;
        EXPECT_FALSE(ParseSetCookie("a=" + std::string(kMaxCookieBytes, 'v'), 0));
    }

    TEST(SetCookieParse, MaxAgeWinsOverExpiresWhicheverComesFirst)
    {
        const TCookieTime now = 1000;
        const auto first = ParseSetCookie("a=1; Max-Age=60; Expires=Wed, 09 Jun 2021 10:18:14 GMT", now);
        const auto last = ParseSetCookie("a=1; Expires=Wed, 09 Jun 2021 10:18:14 GMT; max-age=60", now);
        const auto badAge = ParseSetCookie("a=1; Max-Age=6x0; Expires=Wed, 09 Jun 2021 10:18:14 GMT", now);
        ASSERT_TRUE(first && last && badAge);
        EXPECT_EQ(first->Expires, now + 60);
        EXPECT_EQ(last->Expires, now + 60);
        EXPECT_EQ(badAge->Expires, kJune2021);
        EXPECT_LE(*ParseSetCookie("a=1; Max-Age=-5", now)->Expires, now);
        EXPECT_GT(*ParseSetCookie("a=1; Max-Age=99999999999999999999999", now)->Expires, now);
    }

    class CookieJarTest : public ::testing::Test
    {
    protected:
        TCookieTime now = kJune2021;
        TCookieJar jar { [this] { return now; } };
    };

    struct ScopeCase {
        const char* setAt;
        const char* setCookie;
        const char* askAt;
        bool sent;
    };

    TEST_F(CookieJarTest, SendsACookieOnlyWhereItsDomainPathAndSchemeAllow)
    {
        const ScopeCase cases[] = {
            { "http://www.example.com/a/b.wml", "c=1", "http://www.example.com/a/x.wml", true },
            { "http://www.example.com/a/b.wml", "c=1", "http://www.example.com/ab", false },
            { "http://www.example.com/a/b.wml", "c=1", "http://shop.www.example.com/a/", false },
            { "http://www.example.com/a/b.wml", "c=1; Path=/", "http://WWW.Example.com/z", true },
            { "http://www.example.com/", "c=1; Domain=example.com", "http://shop.example.com/", true },
            { "http://www.example.com/", "c=1; Domain=.EXAMPLE.com", "http://example.com/", true },
            { "http://www.example.com/", "c=1; Domain=example.com", "http://badexample.com/", false },
            { "http://www.example.com/", "c=1; Domain=other.com", "http://other.com/", false },
            { "http://www.example.com/", "c=1; Domain=shop.example.com", "http://shop.example.com/", false },
            { "http://www.example.co.uk/", "c=1; Domain=co.uk", "http://other.co.uk/", false },
            { "http://www.example.co.uk/", "c=1; Domain=co.uk", "http://www.example.co.uk/", false },
            { "http://www.example.co.uk/", "c=1; Domain=example.co.uk", "http://a.example.co.uk/", true },
            { "http://co.uk/", "c=1; Domain=co.uk", "http://co.uk/", true },
            { "http://co.uk/", "c=1; Domain=co.uk", "http://www.co.uk/", false },
            { "http://10.0.0.1/", "c=1; Domain=0.0.1", "http://10.0.0.1/", false },
            { "https://www.example.com/", "c=1; Secure", "https://www.example.com/", true },
            { "https://www.example.com/", "c=1; Secure", "http://www.example.com/", false },
            { "http://www.example.com/", "c=1; Secure", "https://www.example.com/", false },
            { "http://www.example.com/", "c=1; HttpOnly", "http://www.example.com/", true },
            { "http://www.example.com:8080/", "c=1", "http://www.example.com:9090/", true },
            { "file:///tmp/a.wml", "c=1", "file:///tmp/a.wml", false },
            { "http://www.example.com/a", "c=1; Path=a", "http://www.example.com/b", true },
        };
        for (const ScopeCase& c : cases) {
            jar.Clear();
            jar.SetCookie(c.setAt, c.setCookie);
            EXPECT_EQ(jar.CookieHeader(c.askAt), c.sent ? "c=1" : "")
                << c.setAt << " " << c.setCookie << " " << c.askAt;
        }
    }

    TEST_F(CookieJarTest, ListsLongerPathsFirstThenOlderCookies)
    {
        jar.SetCookie("http://h/", "b=2; Path=/");
        ++now;
        jar.SetCookie("http://h/", "a=1; Path=/");
        jar.SetCookie("http://h/", "deep=3; Path=/dir/sub");
        EXPECT_EQ(jar.CookieHeader("http://h/dir/sub/page"), "deep=3; b=2; a=1");
    }

    TEST_F(CookieJarTest, AReplacedCookieKeepsItsPlaceAndAnExpiredOneRemovesIt)
    {
        jar.SetCookie("http://h/", "a=1");
        jar.SetCookie("http://h/", "b=2");
        ++now;
        jar.SetCookie("http://h/", "a=changed");
        EXPECT_EQ(jar.CookieHeader("http://h/"), "a=changed; b=2");
        jar.SetCookie("http://h/", "a=gone; Expires=Thu, 01 Jan 1970 00:00:00 GMT");
        EXPECT_EQ(jar.CookieHeader("http://h/"), "b=2");
    }

    TEST_F(CookieJarTest, APersistentCookieGoesWhenItsTimeIsUp)
    {
        jar.SetCookie("http://h/", "short=1; Max-Age=60");
        jar.SetCookie("http://h/", "session=1");
        now += 59;
        EXPECT_EQ(jar.CookieHeader("http://h/"), "short=1; session=1");
        now += 1;
        EXPECT_EQ(jar.CookieHeader("http://h/"), "session=1");
        EXPECT_EQ(jar.Cookies().size(), 1u);
    }

    TEST_F(CookieJarTest, NoSiteCanHoldMoreThanItsShare)
    {
        for (std::size_t i = 0; i < kMaxCookiesPerDomain + 5; ++i)
            jar.SetCookie("http://h/", "c" + std::to_string(i) + "=v");
        EXPECT_EQ(jar.Cookies().size(), kMaxCookiesPerDomain);
        EXPECT_EQ(jar.CookieHeader("http://h/").find("c0="), std::string::npos);
    }

    TEST_F(CookieJarTest, TheFileKeepsPersistentCookiesOnlyAndSurvivesBadLines)
    {
        jar.SetCookie(
            "https://www.example.com/", "keep=1; Domain=example.com; Secure; HttpOnly; Max-Age=3600");
        jar.SetCookie("http://h/dir/x", "host=2; Max-Age=3600");
        jar.SetCookie("http://h/", "session=3");
        const std::string text = jar.Serialize();
        EXPECT_EQ(text.find("session"), std::string::npos);

        TCookieJar copy([this] { return now; });
        EXPECT_EQ(copy.Deserialize("junk\n\t\t\nh\tFALSE\t/\tFALSE\tsoon\tx\ty\n" + text), 2u);
        EXPECT_EQ(copy.CookieHeader("https://shop.example.com/"), "keep=1");
        EXPECT_EQ(copy.CookieHeader("http://shop.example.com/"), "");
        EXPECT_EQ(copy.CookieHeader("http://h/dir/y"), "host=2");
        EXPECT_EQ(copy.CookieHeader("http://sub.h/dir/y"), "");
        now += 3600;
        EXPECT_EQ(copy.Serialize(), "# Netscape HTTP Cookie File\n");
    }

    TEST_F(CookieJarTest, TheFileIsPrivateAndAMissingOneIsAnEmptyJar)
    {
        testsupport::TTempDir dir;
        const std::string path = dir.Path() + "/cookies.txt";
        EXPECT_TRUE(jar.Load(path));
        jar.SetCookie("http://h/", "a=1; Max-Age=60");
        std::string error;
        ASSERT_TRUE(jar.Save(path, error)) << error;

        struct stat info { };

        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        TCookieJar loaded([this] { return now; });
        EXPECT_TRUE(loaded.Load(path));
        EXPECT_EQ(loaded.CookieHeader("http://h/"), "a=1");
        EXPECT_FALSE(loaded.Load(dir.Path()));
    }

} // namespace
} // namespace pivrel::net
