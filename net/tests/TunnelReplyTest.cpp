#include "net/TunnelReply.h"

#include <gtest/gtest.h>
#include <string>

namespace pivrel::net {
namespace {

    using TOutcome = TTunnelReply::TOutcome;

    struct TReplyCase {
        std::string Bytes;
        TOutcome Outcome;
        std::string Reason;
    };

    TEST(TunnelReply, OpensOnlyOnATwoHundredWhoseHeaderEndsTheBytes)
    {
        const std::string refused = "The proxy refused the secure connection: ";
        const TReplyCase cases[] = {
            { "HTTP/1.0 200 Connection established\r\n\r\n", TOutcome::Open, "" },
            { "HTTP/1.1 200 OK\nProxy-Agent: x\n\n", TOutcome::Open, "" },
            { "HTTP/1.0 200 OK\r\nVia: p\r\n", TOutcome::Waiting, "" },
            { "HTTP/1.0 407 Proxy Authentication Required\r\n\r\n", TOutcome::Refused,
                refused + "HTTP/1.0 407 Proxy Authentication Required" },
            { "HTTP/1.0 302 Found\r\nLocation: http://h/\r\n\r\n", TOutcome::Refused,
                refused + "HTTP/1.0 302 Found" },
            { "HTTP/1.0 200 OK\r\n\r\n\x16\x03\x01", TOutcome::Refused, refused + "HTTP/1.0 200 OK" },
            { "<html>no</html>\r\n", TOutcome::Refused, refused + "" },
            { "SSH-2.0-x\r\n\r\n", TOutcome::Refused, refused + "SSH-2.0-x" },
            { "HTTP/1.0 200 OK\r\n" + std::string(70000, 'x'), TOutcome::Refused,
                "The proxy's answer is too long" },
        };
        for (const TReplyCase& c : cases) {
            SCOPED_TRACE(c.Bytes.substr(0, 40));
            TTunnelReply whole;
            EXPECT_EQ(whole.Feed(c.Bytes.data(), c.Bytes.size()), c.Outcome);
            EXPECT_EQ(whole.Reason(), c.Reason);

            TTunnelReply byByte;
            for (const char byte : c.Bytes)
                byByte.Feed(&byte, 1);
            EXPECT_EQ(byByte.Outcome(), c.Outcome);
            EXPECT_EQ(byByte.Reason(), c.Reason);
        }
    }

} // namespace
} // namespace pivrel::net
