#include "net/HttpUrl.h"

#include <gtest/gtest.h>

namespace pivrel::net {
namespace {

    TEST(HttpUrl, SplitsEveryAddressFormTheClientMeets)
    {
        struct Case {
            const char* url;
            THttpUrlParts expected;
        };

        const Case cases[] = {
            { "", {} },
            { "http://host/dir/deck.wml?x=1", { "http", "", "", "host", "", "/dir/deck.wml?x=1" } },
            { "http://host:8080", { "http", "", "", "host", "8080", "" } },
            { "http://user:pw@host:81/p", { "http", "user", "pw", "host", "81", "/p" } },
            { "http://user@host/p", { "http", "user", "", "host", "", "/p" } },
            { "http://us:er:pw@host/p", { "http", "us", "er:pw", "host", "", "/p" } },
            // The last ":" before the "@" belongs to the user information, not to a port.
            { "http://user:pw@host/p", { "http", "user", "pw", "host", "", "/p" } },
            { "host:3128", { "", "", "", "host", "3128", "" } },
            { "host/a/b", { "", "", "", "host", "", "/a/b" } },
            { "/only/path", { "http", "", "", "", "", "/only/path" } },
            { "//host/path", { "http", "", "", "", "", "/host/path" } },
            { "/", { "http", "", "", "", "", "" } },
            { "http:rel/x", { "http", "", "", "", "", "rel/x" } },
            { "HTTP:/x/y", { "http", "", "", "", "", "/x/y" } },
            { "http:", { "http", "", "", "", "", "" } },
            { "mailto:me@example.org", { "mailto", "me", "", "example.org", "", "" } },
            { "ftp://h/f", { "ftp", "", "", "h", "", "/f" } },
            { "http://[::1]:80/", { "http", "", "", "[::1]", "80", "/" } },
        };
        for (const Case& c : cases) {
            const THttpUrlParts parts = SplitURL(c.url);
            EXPECT_EQ(parts.Scheme, c.expected.Scheme) << c.url;
            EXPECT_EQ(parts.User, c.expected.User) << c.url;
            EXPECT_EQ(parts.Password, c.expected.Password) << c.url;
            EXPECT_EQ(parts.Host, c.expected.Host) << c.url;
            EXPECT_EQ(parts.Port, c.expected.Port) << c.url;
            EXPECT_EQ(parts.Path, c.expected.Path) << c.url;
        }
    }

    TEST(HttpUrl, Base64PadsEveryRemainder)
    {
        EXPECT_EQ(Base64Encode(""), "");
        EXPECT_EQ(Base64Encode("f"), "Zg==");
        EXPECT_EQ(Base64Encode("fo"), "Zm8=");
        EXPECT_EQ(Base64Encode("foo"), "Zm9v");
        EXPECT_EQ(Base64Encode("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
        EXPECT_EQ(Base64Encode(std::string("\xff\xfe\x00", 3)), "//4A");
    }

    TEST(HttpUrl, DateIsWrittenInEnglishAndUniversalTime)
    {
        EXPECT_EQ(HttpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
        EXPECT_EQ(HttpDate(1075803630), "Tue, 03 Feb 2004 10:20:30 GMT");
        EXPECT_EQ(HttpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
    }

    TEST(HttpUrl, DocumentNameComesFromTheLastSegment)
    {
        EXPECT_EQ(DocNameFromPath(""), "index.wml");
        EXPECT_EQ(DocNameFromPath("/"), "index.wml");
        EXPECT_EQ(DocNameFromPath("/dir/deck.wml"), "deck.wml");
        EXPECT_EQ(DocNameFromPath("/dir/sub/"), "sub");
        EXPECT_EQ(DocNameFromPath("/cgi/run.exe?a=/b"), "b");
        EXPECT_EQ(DocNameFromPath("/cgi/run.exe?a=b"), "run.exe");
        EXPECT_EQ(DocNameFromPath("/" + std::string(300, 'n')), std::string(255, 'n'));
    }

    TEST(HttpUrl, RelativeReferencesResolveAgainstTheDirectory)
    {
        EXPECT_EQ(ResolveRelativePath("/dir/a.wml", "b.wml"), "/dir/b.wml");
        EXPECT_EQ(ResolveRelativePath("/dir/a.wml?x=/y", "b.wml"), "/dir/b.wml");
        EXPECT_EQ(ResolveRelativePath("/a.wml", "sub/b.wml"), "/sub/b.wml");
        EXPECT_EQ(ResolveRelativePath("/dir/a.wml", "?q=1"), "/dir/a.wml?q=1");
        EXPECT_EQ(ResolveRelativePath("/dir/", ""), "/dir/");
        EXPECT_EQ(ResolveRelativePath("", "x"), "/x");
    }

} // namespace
} // namespace pivrel::net
