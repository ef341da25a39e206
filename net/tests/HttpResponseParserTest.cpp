#include "net/HttpResponseParser.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pivrel::net {
namespace {

    // Records everything the parser hands on, as one text per call.
    class TRecorder : public IHttpResponseSink
    {
    public:
        bool HeaderBegin() override { return Note("begin"); }

        bool HeaderField(const std::string& name, const std::string& value) override
        {
            return Note("field " + name + "=" + value);
        }

        bool HeaderLine() override { return Note("line"); }

        bool HeaderEnd(bool headerless) override { return Note(headerless ? "end bare" : "end"); }

        bool Body(const char* data, std::size_t len) override
        {
            Text.append(data, len);
            return ++Calls != StopAt;
        }

        void Refused(const std::string& reason) override { Refusal = reason; }

        bool Note(const std::string& what)
        {
            Events.push_back(what);
            return ++Calls != StopAt;
        }

        std::vector<std::string> Events;
        std::string Text;
        std::string Refusal;
        int Calls = 0;
        int StopAt = -1;
    };

    struct TParsed {
        THttpResponseState Response;
        std::vector<std::string> Events;
        std::string Body;
        std::string Refusal;
        std::string CloseReason;
    };

    // Feeds bytes in chunks of the given size (all at once for 0) and closes.
    TParsed Parse(const std::string& bytes, std::size_t chunk = 0, std::int64_t budget = 64 * 1024)
    {
        TRecorder recorder;
        THttpResponseParser parser(recorder);
        parser.Reset(budget);
        if (chunk == 0)
            chunk = bytes.size() + 1;
        for (std::size_t i = 0; i < bytes.size() && !parser.Stopped(); i += chunk)
            parser.Feed(bytes.data() + i, std::min(chunk, bytes.size() - i));
        return { parser.Response(), recorder.Events, recorder.Text, recorder.Refusal,
            parser.Stopped() ? std::string() : parser.CloseReason() };
    }

    TEST(HttpResponseParserTest, ChunkBoundariesDoNotChangeTheResult)
    {
        const std::string response = "HTTP/1.1 200 Fine\r\nContent-Type: TEXT/plain\r\nContent-Range: bytes "
                                     "10-20/300\nSet-Cookie: a=b\r\n\r\nline1\r\nline2\nrest";
        const std::vector<std::string> events = { "begin", "line", "field content-type=TEXT/plain", "line",
            "field content-range=bytes 10-20/300", "line", "field set-cookie=a=b", "line", "end" };
        for (std::size_t chunk : { 0u, 1u, 2u, 7u, 64u }) {
            const TParsed parsed = Parse(response, chunk);
            EXPECT_EQ(parsed.Response.Version, "HTTP/1.1") << chunk;
            EXPECT_EQ(parsed.Response.StatusCode, 200) << chunk;
            EXPECT_EQ(parsed.Response.ReasonPhrase, "Fine") << chunk;
            EXPECT_EQ(parsed.Response.ContentType, "text/plain") << chunk;
            EXPECT_EQ(parsed.Events, events) << chunk;
            EXPECT_EQ(parsed.Body, "line1\r\nline2\nrest") << chunk;
            EXPECT_EQ(parsed.Response.ResponseHeader.size(), 4u) << chunk;
            EXPECT_EQ(parsed.CloseReason, "") << chunk;
        }
    }

    TEST(HttpResponseParserTest, OddHeaderLines)
    {
        struct Case {
            std::string header;
            int status;
            std::string reason;
            std::string contentType;
            std::int64_t contentLength;
            std::string closeReason;
        };

        const Case cases[] = {
            { "HTTP/1.0 200 OK\r\nContent-Type:text/x\r\n", 200, "OK", "text/x", -1, "" },
            { "HTTP/1.0 200 OK\r\nContent-Type: \t text/y \t\r\n", 200, "OK", "text/y", -1, "" },
            { "HTTP/1.0 2xx\r\nContent-Length: abc\r\n", 2, "", "", -1, "" },
            { "HTTP/1.0\r\nContent-Length: 12345678901234567890\r\n", 0, "", "", INT64_C(1) << 53,
                "The document is incomplete: 1 of 9007199254740992 bytes arrived" },
            { "HTTP/2 200 OK\r\nContent-Type: a\r\n", 0, "", "a", -1, "" },
            { "HTTP/1.1 301\r\n:\r\n: x\r\nno colon\r\n", 301, "", "", -1, "" },
            { "\r\n", 0, "", "", -1, "" },
            { "http/1.0 500 lower\r\n", 0, "", "", -1, "" },
        };
        for (const Case& c : cases) {
            const TParsed parsed = Parse(c.header + "\r\nB");
            EXPECT_EQ(parsed.Response.StatusCode, c.status) << c.header;
            EXPECT_EQ(parsed.Response.ReasonPhrase, c.reason) << c.header;
            EXPECT_EQ(parsed.Response.ContentType, c.contentType) << c.header;
            EXPECT_EQ(parsed.Response.ContentLength, c.contentLength) << c.header;
            EXPECT_EQ(parsed.CloseReason, c.closeReason) << c.header;
        }
    }

    TEST(HttpResponseParserTest, FieldsTheClientReads)
    {
        const TParsed parsed
            = Parse("HTTP/1.0 302 Found\r\nLocation:  /next \r\nWWW-Authenticate: Basic "
                    "realm=\"a\"\r\nwww-authenticate: Basic realm=\"b\"\r\nProxy-Authenticate: "
                    "Basic realm=\"p\"\r\nContent-Length: 0\r\n\r\n");
        EXPECT_TRUE(parsed.Response.HasLocation);
        EXPECT_EQ(parsed.Response.LocationValue, "/next");
        EXPECT_EQ(parsed.Response.AuthenticateLines,
            (base::TStringList { "Basic realm=\"a\"", "Basic realm=\"b\"" }));
        EXPECT_EQ(parsed.Response.ProxyAuthenticateLines, base::TStringList { "Basic realm=\"p\"" });
        EXPECT_EQ(parsed.Response.ContentLength, 0);
        EXPECT_EQ(parsed.CloseReason, "");
    }

    TEST(HttpResponseParserTest, HeaderlessHtmlIsTheBody)
    {
        const TParsed parsed = Parse("<html><body>x\r\n</body>", 3);
        EXPECT_EQ(parsed.Events, (std::vector<std::string> { "begin", "end bare" }));
        EXPECT_EQ(parsed.Body, "<html><body>x\r\n</body>");
        EXPECT_EQ(parsed.Response.ContentType, "text/html");
        EXPECT_TRUE(parsed.Response.ResponseHeader.empty());
    }

    TEST(HttpResponseParserTest, LimitsOfTheHeader)
    {
        const std::string status = "HTTP/1.0 200 OK\r\n";
        std::string manyLines = status;
        for (int i = 0; i < 1000; ++i)
            manyLines += "X: y\r\n";
        std::string fatLines = status;
        for (int i = 0; i < 9; ++i)
            fatLines += "X: " + std::string(8000, 'f') + "\r\n";

        struct Case {
            std::string name;
            std::string header;
            std::int64_t budget;
            std::string refusal;
        };

        const Case cases[] = {
            { "longest line", std::string(8191, 'a') + "\n", 64 * 1024, "" },
            { "line too long", std::string(8192, 'a') + "\n", 64 * 1024, "HTTP line too long" },
            { "unended line", std::string(9000, 'a'), 64 * 1024, "HTTP line too long" },
            { "1001 lines", manyLines, 64 * 1024, "HTTP header too long" },
            { "over 64 KiB", fatLines, 64 * 1024, "HTTP header too long" },
            { "budget larger than 64 KiB", fatLines, 1024 * 1024, "HTTP header too long" },
            { "budget of the chain", status + "A: b\r\n", 20, "HTTP header too long" },
            { "budget just met", status + "A: b\r\n", 25, "" },
        };
        for (const Case& c : cases) {
            for (std::size_t chunk : { 0u, 5u, 4096u }) {
                const TParsed parsed = Parse(c.header + "\r\nbody", chunk, c.budget);
                EXPECT_EQ(parsed.Refusal, c.refusal) << c.name << " " << chunk;
                EXPECT_EQ(parsed.Body, c.refusal.empty() ? "body" : "") << c.name << " " << chunk;
                EXPECT_LE(parsed.Response.HeaderBytes, c.refusal.empty() ? c.budget : c.budget + 8192)
                    << c.name;
            }
        }
    }

    TEST(HttpResponseParserTest, VerdictOnClose)
    {
        struct Case {
            std::string bytes;
            std::string reason;
        };

        const Case cases[] = {
            { "", "The server closed the connection without an answer" },
            { "HTTP/1.0 200 OK\r\nContent-Len", "The server closed the connection inside the header" },
            { "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nabc",
                "The document is incomplete: 3 of 5 bytes arrived" },
            { "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc", "" },
            { "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nabc", "" },
            { "HTTP/1.0 200 OK\r\n\r\n", "" },
            { "HTTP/1.0 204 No Content\r\nContent-Length: 5\r\n\r\n", "" },
            { "HTTP/1.0 304 Not Modified\r\nContent-Length: 5\r\n\r\n", "" },
            { "HTTP/1.0 100 Continue\r\nContent-Length: 5\r\n\r\n", "" },
        };
        for (const Case& c : cases)
            EXPECT_EQ(Parse(c.bytes).CloseReason, c.reason) << c.bytes;
    }

    TEST(HttpResponseParserTest, SinkStopsTheParsingAtOnce)
    {
        const std::string response = "HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody";
        for (int stopAt = 1; stopAt <= 5; ++stopAt) {
            TRecorder recorder;
            recorder.StopAt = stopAt;
            THttpResponseParser parser(recorder);
            parser.Reset();
            parser.Feed(response.data(), response.size());
            EXPECT_EQ(recorder.Calls, stopAt) << stopAt;
        }
    }

} // namespace
} // namespace pivrel::net
