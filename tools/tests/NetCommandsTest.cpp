#include "tools/NetCommands.h"

#include "base/StringList.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/support/LoopbackHttpServer.h"
#include "tools/CliArgs.h"
#include "tools/CliCommands.h"
#include "tools/tests/CliRun.h"

namespace pivrel::tools {
namespace {

    using testsupport::MakeResponse;
    using testsupport::TLoopbackHttpServer;
    using testsupport::TScriptedResponse;

    bool Contains(const std::string& text, const std::string& part)
    {
        return text.find(part) != std::string::npos;
    }

    std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // A fresh directory per test, and PIVREL_HOME pointing into it for the length of the test,
    // so that the temporary files land where the test can look for them.
    class TScratch
    {
    public:
        TScratch()
        {
            std::string pattern = testing::TempDir() + "pivrel_net_XXXXXX";
            m_dir = ::mkdtemp(pattern.data());
            m_home = m_dir + "/home/deeper";
            if (const char* old = std::getenv("PIVREL_HOME"))
                m_oldHome = old;
            ::setenv("PIVREL_HOME", m_home.c_str(), 1);
        }

        ~TScratch()
        {
            if (m_oldHome)
                ::setenv("PIVREL_HOME", m_oldHome->c_str(), 1);
            else
                ::unsetenv("PIVREL_HOME");
            std::error_code ignored;
            std::filesystem::remove_all(m_dir, ignored);
        }

        TScratch(const TScratch&) = delete;
        TScratch& operator=(const TScratch&) = delete;

        const std::string& Dir() const { return m_dir; }

        std::string Write(const std::string& name, const std::string& bytes) const
        {
            const std::string path = m_dir + "/" + name;
            std::ofstream(path, std::ios::binary) << bytes;
            return path;
        }

        // Files left in the cache directory.
        std::size_t CacheFiles() const
        {
            std::error_code error;
            std::size_t count = 0;
            for (auto it = std::filesystem::directory_iterator(m_home + "/Cache", error);
                 !error && it != std::filesystem::directory_iterator(); ++it)
                ++count;
            return count;
        }

    private:
        std::string m_dir;
        // PIVREL_HOME: two levels that do not exist yet.
        std::string m_home;
        std::optional<std::string> m_oldHome;
    };

    // A 3 x 2 type-0 WBMP: white black white / black white black (bit 1 is white).
    const std::string kWbmp3x2("\x00\x00\x03\x02\xA0\x40", 6);
    // The same picture as a binary portable bitmap, where bit 1 is black.
    const std::string kPbm3x2 = std::string("P4\n3 2\n") + "\x40\xA0";

    const std::string kPictureDeck
        = "<?xml version=\"1.0\"?>\n<wml>\n"
          "<card id=\"one\" title=\"One\"><p><img src=\"pic.wbmp\" alt=\"Pic\"/></p></card>\n"
          "<card id=\"two\" title=\"Two\"><p>Second</p></card>\n"
          "</wml>\n";

    TScriptedResponse Deck(const std::string& body, const std::string& type = "text/vnd.wap.wml")
    {
        return MakeResponse("HTTP/1.0 200 OK", { "Content-Type: " + type }, body);
    }

    TEST(NetCommandsTest, FetchSendsTheShellsRequestAndSplitsHeaderFromBody)
    {
        TScratch scratch;
        TLoopbackHttpServer server;
        // Bytes a text-mode write would change, a NUL, and no line end at the end.
        const std::string body = std::string("line\r\nbare\rnul:\0:end", 20);
        server.AddResponse(
            MakeResponse("HTTP/1.0 200 OK", { "Content-Type: text/vnd.wap.wml", "X-Extra: 1" }, body));
        const TRun run = RunArgs({ "fetch", server.Url("/dir/deck.wml#card") });
        EXPECT_EQ(run.Status, kExitOk) << run.Err;
        EXPECT_EQ(run.Out, body);
        EXPECT_EQ(run.Err, "HTTP/1.0 200 OK\nContent-Type: text/vnd.wap.wml\nX-Extra: 1\n");
        ASSERT_EQ(server.RequestCount(), 1u);
        const std::string request = server.Requests()[0];
        EXPECT_EQ(request.rfind("GET /dir/deck.wml HTTP/1.0\r\n", 0), 0u) << request;
        EXPECT_TRUE(Contains(request, "\r\nAccept: text/x-wap,wml,*/*\r\n")) << request;
        EXPECT_TRUE(Contains(request, "\r\nUser-Agent: Pivrel 2.2 WML 1.1\r\n")) << request;

        // A body of many reads, sent in pieces, arrives whole and in order.
        std::string large;
        for (int i = 0; large.size() < 300 * 1000; ++i)
            large += std::to_string(i) + (i % 7 == 0 ? std::string("\r\n\0", 3) : std::string(" "));
        TScriptedResponse pieces = MakeResponse("HTTP/1.0 200 OK", {}, large.substr(0, 100 * 1000));
        pieces.Chunks.push_back(large.substr(100 * 1000, 150 * 1000));
        pieces.Chunks.push_back(large.substr(250 * 1000));
        pieces.DelayMs = 5;
        server.AddResponse(pieces);
        const TRun big = RunArgs({ "fetch", server.Url("/big") });
        EXPECT_EQ(big.Status, kExitOk) << big.Err;
        EXPECT_TRUE(big.Out == large) << big.Out.size() << " bytes of " << large.size();

        // With -o the body goes to the file only, replacing what it held.
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, body));
        const std::string path = scratch.Write("out.bin", "old content that is longer than the body");
        const TRun toFile = RunArgs({ "fetch", "-o", path, server.Url("/x") });
        EXPECT_EQ(toFile.Status, kExitOk) << toFile.Err;
        EXPECT_EQ(toFile.Out, "");
        EXPECT_EQ(ReadFile(path), body);
    }

    TEST(NetCommandsTest, FetchFailuresExitWithOneAndTheReason)
    {
        TScratch scratch;
        TLoopbackHttpServer server;
        server.AddResponse(MakeResponse("HTTP/1.0 404 Not Found", { "Content-Type: text/html" }, "gone"));
        const TRun notFound = RunArgs({ "fetch", server.Url("/missing.wml") });
        EXPECT_EQ(notFound.Status, kExitRequestFailed);
        EXPECT_TRUE(Contains(notFound.Err, "HTTP/1.0 404 Not Found\n")) << notFound.Err;
        EXPECT_TRUE(Contains(
            notFound.Err, "pivrel-cli: cannot fetch '" + server.Url("/missing.wml") + "': 404 Not Found\n"))
            << notFound.Err;

        server.AddResponse(MakeResponse("HTTP/1.0 500 Broken", {}, ""));
        const TRun broken = RunArgs({ "fetch", server.Url("/") });
        EXPECT_EQ(broken.Status, kExitRequestFailed);
        EXPECT_TRUE(Contains(broken.Err, ": 500 Broken\n")) << broken.Err;

        // Nobody listens on the port of a server that has gone.
        std::string deadUrl;
        {
            TLoopbackHttpServer gone;
            deadUrl = gone.Url("/deck.wml");
        }
        const TRun refused = RunArgs({ "fetch", deadUrl });
        EXPECT_EQ(refused.Status, kExitRequestFailed);
        EXPECT_EQ(refused.Out, "");
        EXPECT_TRUE(Contains(refused.Err, "pivrel-cli: cannot fetch '" + deadUrl + "': ")) << refused.Err;

        const TRun unwritable = RunArgs({ "fetch", server.Url("/"), "-o", scratch.Dir() + "/no/such/dir/f" });
        EXPECT_EQ(unwritable.Status, kExitFileError);
        EXPECT_EQ(unwritable.Err.rfind("pivrel-cli: cannot write '", 0), 0u) << unwritable.Err;
    }

    TEST(NetCommandsTest, TimeoutAbortsAResponseThatNeverEnds)
    {
        TScratch scratch;
        TLoopbackHttpServer server;
        TScriptedResponse endless
            = MakeResponse("HTTP/1.0 200 OK", { "Content-Type: text/vnd.wap.wml" }, "<wml>");
        endless.KeepOpen = true;
        server.AddResponse(endless);
        server.AddResponse(endless);

        const auto start = std::chrono::steady_clock::now();
        const TRun fetch = RunArgs({ "fetch", server.Url("/slow.wml"), "--timeout", "0.3" });
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(fetch.Status, kExitRequestFailed);
        EXPECT_TRUE(Contains(fetch.Err, "did not finish within 0.3 seconds")) << fetch.Err;
        EXPECT_GE(elapsed, std::chrono::milliseconds(250));
        EXPECT_LT(elapsed, std::chrono::seconds(5));

        const TRun elements = RunArgs({ "elements", server.Url("/slow.wml"), "--timeout", "0.2" });
        EXPECT_EQ(elements.Status, kExitRequestFailed);
        EXPECT_EQ(elements.Out, "");
        EXPECT_TRUE(Contains(elements.Err, "did not finish within 0.2 seconds")) << elements.Err;
        EXPECT_EQ(scratch.CacheFiles(), 0u);
    }

    TEST(NetCommandsTest, NetworkOptionsAreCheckedBeforeAnyRequest)
    {
        const std::vector<std::vector<std::string>> cases = {
            { "fetch" },
            { "fetch", "http://127.0.0.1:1/", "extra" },
            { "fetch", "http://127.0.0.1:1/", "-o" },
            { "fetch", "http://127.0.0.1:1/", "--timeout", "0" },
            { "fetch", "http://127.0.0.1:1/", "--timeout", "-1" },
            { "fetch", "http://127.0.0.1:1/", "--timeout", "soon" },
            { "fetch", "http://127.0.0.1:1/", "--timeout", "nan" },
            { "fetch", "http://127.0.0.1:1/", "--timeout", "1e300" },
            { "fetch", "http://127.0.0.1:1/", "--proxy", ":8080" },
            { "fetch", "http://127.0.0.1:1/", "--proxy", "host:" },
            { "fetch", "http://127.0.0.1:1/", "--proxy", "host:65536" },
            { "fetch", "http://127.0.0.1:1/", "--proxy", "host:80x" },
            { "fetch", "http://127.0.0.1:1/", "--proxy-user", "u" },
            { "fetch", "http://127.0.0.1:1/", "--card", "c" },
            { "elements", "http://127.0.0.1:1/", "-o", "f" },
            { "elements", "http://127.0.0.1:1/", "--timeout" },
            { "wbmp" },
            { "wbmp", "a.wbmp", "b.wbmp" },
            { "wbmp", "a.wbmp", "--trace" },
        };
        for (const auto& args : cases) {
            const TRun run = RunArgs(args);
            EXPECT_EQ(run.Status, kExitUsage) << testing::PrintToString(args);
            EXPECT_EQ(run.Out, "") << testing::PrintToString(args);
            EXPECT_NE(run.Err.find(UsageText()), std::string::npos) << testing::PrintToString(args);
        }
        for (const std::string command : { "fetch", "wbmp" }) {
            const TRun help = RunArgs({ command, "--help" });
            EXPECT_EQ(help.Status, kExitOk);
            EXPECT_EQ(help.Out, UsageText());
        }
    }

    TEST(NetCommandsTest, FetchThroughAProxySendsTheFullAddressAndCredentials)
    {
        TLoopbackHttpServer proxy;
        proxy.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "via proxy"));
        const TRun run = RunArgs({ "fetch", "http://wap.example.invalid/deck.wml", "--proxy",
            proxy.HostPort(), "--proxy-user", "ann", "--proxy-password", "secret" });
        EXPECT_EQ(run.Status, kExitOk) << run.Err;
        EXPECT_EQ(run.Out, "via proxy");
        ASSERT_EQ(proxy.RequestCount(), 1u);
        const std::string request = proxy.Requests()[0];
        EXPECT_EQ(request.rfind("GET http://wap.example.invalid/deck.wml HTTP/1.0\r\n", 0), 0u) << request;
        // "ann:secret" in Base64.
        EXPECT_TRUE(Contains(request, "Proxy-Authorization: Basic YW5uOnNlY3JldA==\r\n")) << request;
    }

    TEST(NetCommandsTest, TraceShowsStatusTextsAndClientStatesInOrder)
    {
        TScratch scratch;
        TLoopbackHttpServer server;
        server.AddResponse(Deck("<wml><card id=\"a\"><p>x</p></card></wml>"));
        const TRun run = RunArgs({ "elements", server.Url("/t.wml"), "--trace" });
        ASSERT_EQ(run.Status, kExitOk) << run.Err;
        const std::vector<std::string> expected = { "Connecting...", "* Not Connected", "* Connected",
            "Connected", "* Waiting for Header", "Waiting ...", "* Waiting for Body", "Waiting ...",
            "* Ready", "Disconnected", "Parsing...", "Done" };
        std::size_t at = 0;
        for (const std::string& line : expected) {
            const std::size_t found = run.Err.find(line + "\n", at);
            ASSERT_NE(found, std::string::npos) << line << " after " << at << " in\n" << run.Err;
            at = found + line.size();
        }

        server.AddResponse(Deck("body"));
        const TRun fetch = RunArgs({ "fetch", server.Url("/t.wml"), "--trace" });
        EXPECT_EQ(fetch.Err.rfind("Connecting...\n", 0), 0u) << fetch.Err;
        EXPECT_TRUE(Contains(fetch.Err, "* Ready\nDisconnected\n")) << fetch.Err;
        EXPECT_EQ(fetch.Out, "body");
    }

    TEST(NetCommandsTest, ElementsOverHttpFetchesPicturesAndLeavesNoTemporaryFile)
    {
        TScratch scratch;
        TLoopbackHttpServer server;
        server.AddResponse(Deck(kPictureDeck));
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "Content-Type: image/vnd.wap.wbmp" }, kWbmp3x2));
        const TRun run = RunArgs({ "elements", server.Url("/dir/deck.wml") });
        ASSERT_EQ(run.Status, kExitOk) << run.Err;
        const auto lines = base::SplitLines(run.Out);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[0].rfind(R"({"deck":{"accepted":true,"cards":2,)", 0), 0u) << lines[0];
        EXPECT_TRUE(Contains(run.Out, R"("Src":"pic.wbmp")")) << run.Out;
        EXPECT_TRUE(Contains(run.Out, R"("SourceWidth":3,"SourceHeight":2)")) << run.Out;
        ASSERT_EQ(server.RequestCount(), 2u);
        EXPECT_EQ(server.Requests()[1].rfind("GET /dir/pic.wbmp HTTP/1.0\r\n", 0), 0u)
            << server.Requests()[1];
        EXPECT_EQ(scratch.CacheFiles(), 0u);
        // Every missing level of the cache directory is made.
        ASSERT_TRUE(std::filesystem::is_directory(scratch.Dir() + "/home/deeper/Cache"));

        // A fragment picks the card, as --card does; --card wins over it.
        server.AddResponse(Deck(kPictureDeck));
        server.AddResponse(MakeResponse("HTTP/1.0 404 Not Found", {}, ""));
        const TRun second = RunArgs({ "elements", server.Url("/dir/deck.wml#two") });
        ASSERT_EQ(second.Status, kExitOk) << second.Err;
        EXPECT_FALSE(Contains(second.Out, R"("ID":"one")"));
        EXPECT_TRUE(Contains(second.Out, R"("ID":"two")"));
        // The fragment is not sent.
        EXPECT_EQ(server.Requests()[2].rfind("GET /dir/deck.wml HTTP/1.0\r\n", 0), 0u);
    }

    TEST(NetCommandsTest, ElementsFailuresAreWordedAsTheWindowWordsThem)
    {
        TScratch scratch;
        TLoopbackHttpServer server;

        struct Case {
            TScriptedResponse response;
            std::string message;
        };

        const Case cases[] = {
            { MakeResponse("HTTP/1.0 404 Not Found", { "Content-Type: text/vnd.wap.wml" }, "<wml></wml>"),
                "404 - Not Found" },
            { MakeResponse("HTTP/1.0 503 Busy", {}, ""), "503 - Busy" },
            { Deck("<html><body>page</body></html>", "text/html"),
                "content of HTML type (text/html) can not be shown" },
        };
        for (const Case& c : cases) {
            server.AddResponse(c.response);
            const TRun run = RunArgs({ "elements", server.Url("/d.wml") });
            EXPECT_EQ(run.Status, kExitRequestFailed) << c.message;
            EXPECT_EQ(run.Out, "") << c.message;
            EXPECT_EQ(run.Err, "pivrel-cli: cannot load '" + server.Url("/d.wml") + "': " + c.message + "\n");
        }
        EXPECT_EQ(scratch.CacheFiles(), 0u);

        // Content of another type is shown anyway, with a note.
        server.AddResponse(Deck("<wml><card id=\"p\"><p>plain</p></card></wml>", "text/plain"));
        const TRun plain = RunArgs({ "elements", server.Url("/p.txt") });
        EXPECT_EQ(plain.Status, kExitOk);
        EXPECT_TRUE(Contains(plain.Err, "is not WAP (WML) content (text/plain); shown anyway")) << plain.Err;
        EXPECT_TRUE(Contains(plain.Out, R"("Text":"plain")")) << plain.Out;

        // An address, unlike a path, is the browser's to fail.
        const TRun missing = RunArgs({ "elements", "file://" + scratch.Dir() + "/none.wml" });
        EXPECT_EQ(missing.Status, kExitRequestFailed);
        EXPECT_TRUE(Contains(
            missing.Err, ": cannot read " + scratch.Dir() + "/none.wml: No such file or directory\n"))
            << missing.Err;
    }

    TEST(NetCommandsTest, CacheDirectoryThatCannotBeMadeIsNamed)
    {
        TScratch scratch;
        const std::string blocker = scratch.Write("blocker", "x");
        ::setenv("PIVREL_HOME", (blocker + "/home").c_str(), 1);
        const TRun run = RunArgs({ "elements", "http://127.0.0.1:9/d.wml" });
        EXPECT_EQ(run.Status, kExitRequestFailed);
        EXPECT_TRUE(Contains(run.Err, "no temporary file could be created in '" + blocker + "/home/Cache'"))
            << run.Err;
    }

    TEST(NetCommandsTest, LocalDecksLoadByPathOrAddressWithTheirPictures)
    {
        TScratch scratch;
        const std::string deckPath = scratch.Write("deck.wml", kPictureDeck);
        scratch.Write("pic.wbmp", kWbmp3x2);

        const TRun byAddress = RunArgs({ "elements", "file://" + deckPath + "#two" });
        ASSERT_EQ(byAddress.Status, kExitOk) << byAddress.Err;
        EXPECT_FALSE(Contains(byAddress.Out, R"("ID":"one")"));
        EXPECT_TRUE(Contains(byAddress.Out, R"("ID":"two")"));

        const TRun byPath = RunArgs({ "elements", deckPath });
        ASSERT_EQ(byPath.Status, kExitOk) << byPath.Err;
        EXPECT_TRUE(Contains(byPath.Out, R"("SourceWidth":3,"SourceHeight":2)")) << byPath.Out;

        // A relative path resolves against the working directory, and its pictures beside it.
        const std::string oldDir = std::filesystem::current_path();
        std::filesystem::current_path(scratch.Dir());
        const TRun relative = RunArgs({ "elements", "./deck.wml" });
        std::filesystem::current_path(oldDir);
        EXPECT_EQ(relative.Out, byPath.Out);

        // A path the browser could not name as an address is refused before it is tried.
        const std::string hashed = scratch.Write("a#b.wml", kPictureDeck);
        const TRun hash = RunArgs({ "elements", hashed });
        EXPECT_EQ(hash.Status, kExitFileError);
        EXPECT_EQ(hash.Err.rfind("pivrel-cli: cannot read '" + hashed + "': ", 0), 0u) << hash.Err;
    }

    TEST(NetCommandsTest, CookiesLastOneRunUnlessACookieJarKeepsThem)
    {
        TScratch scratch;
        TLoopbackHttpServer server;
        const auto cookieSent = [&server](std::size_t request) {
            return Contains(server.Requests().at(request), "\r\nCookie: keep=1\r\n");
        };
        const TScriptedResponse setting = MakeResponse("HTTP/1.0 200 OK",
            { "Content-Type: text/vnd.wap.wml", "Set-Cookie: keep=1; Max-Age=600" }, kPictureDeck);
        const std::string jar = scratch.Dir() + "/jar.txt";
        server.AddResponse(setting);
        server.AddResponse(Deck(kPictureDeck));
        EXPECT_EQ(RunArgs({ "fetch", server.Url("/a.wml"), "-o", scratch.Dir() + "/out" }).Status, kExitOk);
        EXPECT_EQ(RunArgs({ "fetch", server.Url("/b.wml"), "-o", scratch.Dir() + "/out" }).Status, kExitOk);
        EXPECT_FALSE(cookieSent(1));

        server.AddResponse(setting);
        EXPECT_EQ(
            RunArgs({ "fetch", server.Url("/a.wml"), "--cookie-jar", jar, "-o", scratch.Dir() + "/out" })
                .Status,
            kExitOk);
        EXPECT_TRUE(Contains(ReadFile(jar), "\tkeep\t1\n"));
        // The picture request of the deck carries the cookie too.
        server.AddResponse(Deck(kPictureDeck));
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "Content-Type: image/vnd.wap.wbmp" }, kWbmp3x2));
        const TRun elements = RunArgs({ "elements", server.Url("/c.wml"), "--cookie-jar", jar });
        EXPECT_EQ(elements.Status, kExitOk) << elements.Err;
        EXPECT_TRUE(cookieSent(3));
        EXPECT_TRUE(cookieSent(4));

        const TRun unreadable = RunArgs({ "elements", server.Url("/d.wml"), "--cookie-jar", scratch.Dir() });
        EXPECT_EQ(unreadable.Status, kExitFileError);
        EXPECT_EQ(
            unreadable.Err, "pivrel-cli: cannot read '" + scratch.Dir() + "': not a readable cookie file\n");
        EXPECT_EQ(server.RequestCount(), 5u);
    }

    TEST(NetCommandsTest, WbmpWritesAPortableBitmapOrSaysWhyNot)
    {
        TScratch scratch;
        const std::string good = scratch.Write("good.wbmp", kWbmp3x2);
        const TRun toStdout = RunArgs({ "wbmp", good });
        EXPECT_EQ(toStdout.Status, kExitOk) << toStdout.Err;
        EXPECT_EQ(toStdout.Out, kPbm3x2);

        const std::string pbm = scratch.Dir() + "/out.pbm";
        const TRun toFile = RunArgs({ "wbmp", good, "-o", pbm });
        EXPECT_EQ(toFile.Status, kExitOk) << toFile.Err;
        EXPECT_EQ(toFile.Out, "");
        EXPECT_EQ(ReadFile(pbm), kPbm3x2);

        const struct {
            std::string name;
            std::string bytes;
        } bad[] = {
            { "empty.wbmp", "" },
            { "bmp.wbmp", "BM\x36\x00\x00\x00\x00\x00" },
            { "type1.wbmp", std::string("\x01\x00\x03\x02\xA0\x40", 6) },
            { "short.wbmp", std::string("\x00\x00\x03\x02\xA0", 5) },
            { "zero.wbmp", std::string("\x00\x00\x00\x02", 4) },
            // 4097 pixels wide: 0xA0 0x01.
            { "wide.wbmp", std::string("\x00\x00\xA0\x01\x01", 5) + std::string(514, '\xFF') },
            { "endless.wbmp", std::string("\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF", 8) },
        };

        for (const auto& c : bad) {
            const TRun run = RunArgs({ "wbmp", scratch.Write(c.name, c.bytes), "-o", pbm + ".bad" });
            EXPECT_EQ(run.Status, kExitRequestFailed) << c.name;
            EXPECT_TRUE(Contains(run.Err, "is not a WBMP picture")) << c.name << ": " << run.Err;
            EXPECT_FALSE(std::filesystem::exists(pbm + ".bad")) << c.name;
        }

        EXPECT_EQ(RunArgs({ "wbmp", scratch.Dir() + "/none.wbmp" }).Status, kExitFileError);
        const TRun directory = RunArgs({ "wbmp", scratch.Dir() });
        EXPECT_EQ(directory.Err, "pivrel-cli: cannot read '" + scratch.Dir() + "': Is a directory\n");
        EXPECT_EQ(RunArgs({ "wbmp", "/dev/zero" }).Status, kExitFileError);
        EXPECT_EQ(RunArgs({ "wbmp", good, "-o", scratch.Dir() + "/no/dir.pbm" }).Status, kExitFileError);
    }

    TEST(NetCommandsTest, CacheDirectoryAndAddressesOfArguments)
    {
        EXPECT_EQ(CacheDirFor("/p", "/x", "/h"), "/p/Cache");
        EXPECT_EQ(CacheDirFor("", "/x", "/h"), "/x/pivrel");
        EXPECT_EQ(CacheDirFor(nullptr, "relative", "/h"), "/h/.cache/pivrel");
        EXPECT_EQ(CacheDirFor(nullptr, nullptr, "/h"), "/h/.cache/pivrel");
        EXPECT_EQ(CacheDirFor(nullptr, "", ""), "");

        const struct {
            std::string argument;
            bool address;
        } kinds[] = {
            { "http://h/d.wml", true },
            { "HTTP://h/", true },
            { "file:///tmp/d.wml", true },
            { "file:d.wml", true },
            { "svn+ssh://h/x", true },
            { "d.wml", false },
            { "/tmp/d.wml", false },
            { "dir/http://x", false },
            { "://x", false },
            { "1a://x", false },
            { "", false },
        };

        for (const auto& k : kinds)
            EXPECT_EQ(IsAddress(k.argument), k.address) << k.argument;

        EXPECT_EQ(FileAddress("/tmp/a/../b.wml"), "file:///tmp/b.wml");
        EXPECT_EQ(FileAddress("/tmp/./c d.wml"), "file:///tmp/c d.wml");
        EXPECT_EQ(FileAddress("rel.wml"), "file://" + (std::filesystem::current_path() / "rel.wml").string());

        EXPECT_EQ(ConnectFailedReason(404), "404 - Document not found");
        EXPECT_EQ(ConnectFailedReason(200), "200 - Unknown error");
        EXPECT_EQ(ConnectFailedReason(413), "413 - Unknown error");
    }

    TEST(NetCommandsTest, CommandArgumentsKeepOrderValuesAndTheEndMark)
    {
        const std::vector<TOptionRule> rules = { { "-o", true }, { "--trace", false } };
        const TCommandArgs a
            = ParseCommandArgs({ "cmd", "-o", "-x", "pos", "--trace", "-", "--", "-o", "--help" }, rules);
        EXPECT_EQ(a.Error, "");
        EXPECT_FALSE(a.Help);
        EXPECT_EQ(a.Positional, (std::vector<std::string> { "pos", "-", "-o", "--help" }));
        EXPECT_EQ(a.Last("-o"), "-x");
        EXPECT_TRUE(a.Has("--trace"));
        EXPECT_EQ(a.CheckPositional(4), "");
        EXPECT_EQ(a.CheckPositional(5), "missing argument");
        EXPECT_EQ(a.CheckPositional(3), "unexpected argument '--help'");

        const TCommandArgs last = ParseCommandArgs({ "cmd", "-o", "1", "-o", "2" }, rules);
        EXPECT_EQ(last.Last("-o"), "2");
        EXPECT_FALSE(last.Has("--trace"));
        EXPECT_EQ(ParseCommandArgs({ "cmd", "-x" }, rules).Error, "unknown option '-x'");
        EXPECT_EQ(ParseCommandArgs({ "cmd", "--trace", "-o" }, rules).Error, "option '-o' needs a value");
        EXPECT_TRUE(ParseCommandArgs({ "cmd", "--help", "-x" }, rules).Help);
    }

} // namespace
} // namespace pivrel::tools
