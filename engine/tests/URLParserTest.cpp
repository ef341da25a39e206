#include "engine/URLParser.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pivrel::engine {
namespace {

    // Hostile inputs of a megabyte: a quadratic pass over them would run into the test timeout.

    struct TResolveCase {
        std::string Base;
        std::string Target;
        std::string Expected;
    };

    // The engine's pattern: clear, load the base, resolve the target against it.
    std::string ResolveAgainst(const std::string& base, const std::string& target, bool fresh = false)
    {
        TURLParser parser;
        parser.Clear();
        parser.Resolve(base, fresh);
        return parser.Resolve(target, fresh);
    }

    void ExpectAll(const std::vector<TResolveCase>& cases)
    {
        for (const TResolveCase& c : cases)
            EXPECT_EQ(ResolveAgainst(c.Base, c.Target), c.Expected)
                << "base " << c.Base << ", target " << c.Target;
    }

    TEST(URLParser, RelativeTargetsJoinTheHostOrTheBaseDirectory)
    {
        const std::string base = "http://h/a/deck.wml";
        ExpectAll({
            { base, "x.wml", "http://h/a/x.wml" },
            { base, "./sub/x.wml", "http://h/a/sub/x.wml" },
            { base, "sub/x.wml", "http://h/a/sub/x.wml" },
            { base, "/x.wml", "http://h/x.wml" },
            { base, "#c2", "http://h/a/deck.wml#c2" },
            { base, "../x.wml", "http://h/x.wml" },
            { base, "x.wml?p=1", "http://h/a/x.wml?p=1" },
            { "http://h/a/deck.wml?s=9", "x.wml", "http://h/a/x.wml" },
            { "http://h/a/deck.wml?s=9", "x.wml#c", "http://h/a/x.wml#c" },
            { "http://h/a/deck.wml?s=9#k", "/x.wml", "http://h/x.wml" },
            { base, "http://other/b.wml", "http://other/b.wml" },
            { base, "x.wml#c?q", "http://h/a/x.wml#c?q" },
            { base, "x.wml?u=a//b", "http://h/a/x.wml?u=a//b" },
            { base, "a&amp;b=1.wml", "http://h/a/a&b=1.wml" },
            { base, "x$$.wml", "http://h/a/x$.wml" },
            { base, "x  y.wml", "http://h/a/x y.wml" },
            { base, "sub\\x.wml", "http://h/a/sub/x.wml" },
            { "http://h:8080/a/deck.wml", "x.wml", "http://h:8080/a/x.wml" },
        });
    }

    TEST(URLParser, WebAddressesResolveAsBrowsersDo)
    {
        const std::string deck = "http://h/a/b/deck.wml";
        ExpectAll({
            { deck, "sub/x.wml", "http://h/a/b/sub/x.wml" },
            { deck, "../x.wml", "http://h/a/x.wml" },
            { deck, "../../../../x.wml", "http://h/x.wml" },
            { deck, "./././x.wml", "http://h/a/b/x.wml" },
            { deck, "sub/../x.wml", "http://h/a/b/x.wml" },
            { deck, "..", "http://h/a/" },
            { deck, "//other/x.wml", "http://other/x.wml" },
            { deck, "?q=1", "http://h/a/b/deck.wml?q=1" },
            { deck + "?s=1#c", "#d", "http://h/a/b/deck.wml?s=1#d" },
            { "http://h/a.php?sid=1", "x.wml", "http://h/x.wml" },
            { "http://h/menu", "pic.wbmp", "http://h/pic.wbmp" },
            { "http://h/wap/", "pic.wbmp", "http://h/wap/pic.wbmp" },
            { "https://h:8443/a/deck.wml", "x.wml?u=a//b", "https://h:8443/a/x.wml?u=a//b" },
            { deck, "go.php?to=http://x/y", "http://h/a/b/go.php?to=http://x/y" },
            { "HTTP://h/a/deck.wml", "x.wml", "HTTP://h/a/x.wml" },
            { deck, "http://o/./a/../b.wml", "http://o/b.wml" },
        });
        // The fields still describe the result.
        TURLParser parser;
        parser.Resolve("http://h/a/b/deck.wml?s=1", false);
        parser.Resolve("../c/x.wml#k", false);
        EXPECT_EQ(parser.Host, "h");
        EXPECT_EQ(parser.Path, "a/c");
        EXPECT_EQ(parser.Document, "x.wml");
        EXPECT_EQ(parser.Parameters, "");
        EXPECT_EQ(parser.PageHOP, "k");
    }

    TEST(URLParser, DotSegmentsGoAsTheStandardSays)
    {
        const std::vector<std::pair<std::string, std::string>> cases = {
            { "/a/b/c/./../../g", "/a/g" },
            { "mid/content=5/../6", "mid/6" },
            { "/..", "/" },
            { "/a/..", "/" },
            { "/a/.", "/a/" },
            { "../../x", "x" },
            { "/a//b/../c", "/a//c" },
            { "", "" },
        };
        for (const auto& [path, expected] : cases)
            EXPECT_EQ(RemoveDotSegments(path), expected) << path;
    }

    TEST(URLParser, AbsoluteTargetsSplitIntoTheirParts)
    {
        struct TPartsCase {
            std::string Target;
            std::string Complete;
            std::string Host;
            std::string Path;
            std::string Document;
            std::string Parameters;
            std::string PageHOP;
        };

        const std::vector<TPartsCase> cases = {
            { "http://h", "http://h/", "h", "/", "", "", "" },
            { "http://h/dir/", "http://h/dir/", "h", "/dir", "", "", "" },
            { "http://h/cgi/run?a=b#c", "http://h/cgi/run?a=b#c", "h", "cgi/run", "", "a=b", "c" },
            { "http://h/ver1.0/", "http://h/ver1.0/", "h", "", "ver1.0", "", "" },
            { "http://h/a/b/deck.wml?x=1#c2", "http://h/a/b/deck.wml?x=1#c2", "h", "a/b", "deck.wml", "x=1",
                "c2" },
            { "HTTP://h/x.wml", "HTTP://h/x.wml", "h", "", "x.wml", "", "" },
            { "wapsite", "http://wapsite/", "wapsite", "/", "", "", "" },
            { "file://decks/a.wml", "file://decks/a.wml", "decks", "", "a.wml", "", "" },
            { "file:///home/u/decks/a.wml", "file:///home/u/decks/a.wml", "", "home/u/decks", "a.wml", "",
                "" },
            { "file://C:\\decks\\a.wml", "file://C:/decks/a.wml", "C:", "decks", "a.wml", "", "" },
        };
        for (const TPartsCase& c : cases) {
            TURLParser parser;
            EXPECT_EQ(parser.Resolve(c.Target, false), c.Complete) << c.Target;
            EXPECT_EQ(parser.CompleteURL, c.Complete) << c.Target;
            EXPECT_EQ(parser.Host, c.Host) << c.Target;
            EXPECT_EQ(parser.Path, c.Path) << c.Target;
            EXPECT_EQ(parser.Document, c.Document) << c.Target;
            EXPECT_EQ(parser.Parameters, c.Parameters) << c.Target;
            EXPECT_EQ(parser.PageHOP, c.PageHOP) << c.Target;
        }
    }

    TEST(URLParser, LocalFilesResolveLikeAddressesWithAHost)
    {
        const std::string base = "file:///home/u/decks/a.wml";
        ExpectAll({
            { base, base, base },
            { base, "b.wml", "file:///home/u/decks/b.wml" },
            { base, "./sub/b.wml", "file:///home/u/decks/sub/b.wml" },
            { base, "#c2", "file:///home/u/decks/a.wml#c2" },
            { base, "/etc/b.wml", "file:///etc/b.wml" },
            { base, "sub/b.wml", "file:///sub/b.wml" },
            { "file:///a.wml", "b.wml", "file:///b.wml" },
            { "file:///home/u/decks/a.wml#c1", "#c2", "file:///home/u/decks/a.wml#c2" },
            { "file://decks/a.wml", "b.wml", "file://decks/b.wml" },
            { "file://decks/a.wml", "./sub/b.wml", "file://decks/sub/b.wml" },
        });
    }

    TEST(URLParser, EmptyTargetsAndResetKeepOrDropTheBase)
    {
        TURLParser parser;
        parser.Resolve("http://h/a/deck.wml?s=1#c", false);
        EXPECT_EQ(parser.Resolve("", false), "");
        EXPECT_EQ(parser.CompleteURL, "http://h/a/deck.wml?s=1#c");
        EXPECT_EQ(parser.Path, "a");

        // With reset a bare name has no base and is taken as a host.
        EXPECT_EQ(parser.Resolve("x.wml", true), "http://x.wml/");
        EXPECT_EQ(parser.Host, "x.wml");

        parser.Clear();
        EXPECT_EQ(parser.Protocol, "");
        EXPECT_EQ(parser.CompleteURL, "");
        EXPECT_EQ(parser.DefaultDoc, "index.wml");
    }

    TEST(URLParser, HostileAddressesStayBoundedAndNeverCrash)
    {
        const std::vector<std::string> targets = {
            "/",
            "//",
            "#",
            "?",
            "./",
            ":///",
            "://",
            "$$$",
            "&#",
            "&#x",
            "\\\\",
            "#/?",
            "?#",
            std::string(1 << 20, '/'),
            std::string(1 << 20, '$'),
            "http://" + std::string(1 << 20, '/') + "x",
            std::string(1 << 19, '&') + "#",
            "a" + std::string(1 << 20, '\\') + "b.wml",
        };
        for (const std::string& target : targets) {
            for (bool fresh : { false, true }) {
                std::string result = ResolveAgainst("http://h/a/deck.wml", target, fresh);
                EXPECT_LE(result.size(), target.size() + 64);
            }
        }
        EXPECT_EQ(ResolveAgainst("http://h/a/deck.wml", "/"), "http://h/");
        EXPECT_EQ(ResolveAgainst("", "/x.wml"), "http:///x.wml");
    }

} // namespace
} // namespace pivrel::engine
