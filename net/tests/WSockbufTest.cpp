#include "net/WSockbuf.h"

#include "net/WSocketErrors.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>

using namespace pivrel::net;

namespace {

std::string Held(const TBuffer& buffer)
{
    int len = 0;
    const char* bytes = buffer.Peek(len);
    return std::string(bytes, static_cast<std::size_t>(len));
}

} // namespace

TEST(TBuffer, FillsTakesAndStartsOverWhenEmptied)
{
    for (int size : { 0, -5 })
        EXPECT_EQ(TBuffer(size).Size(), 1514);

    TBuffer buffer(8);
    EXPECT_EQ(buffer.Write("abcdef", 6), 6);
    EXPECT_EQ(buffer.Write("ghijk", 5), 2) << "wrote past the end";
    EXPECT_EQ(buffer.Write("z", 1), 0);
    EXPECT_EQ(buffer.Write("z", -3), 0);
    EXPECT_EQ(Held(buffer), "abcdefgh");

    buffer.Remove(3);
    EXPECT_EQ(Held(buffer), "defgh");
    buffer.Remove(-2);
    EXPECT_EQ(Held(buffer), "defgh");
    EXPECT_EQ(buffer.Write("z", 1), 0) << "the free space before the read count is reused only when empty";
    buffer.Remove(100);
    EXPECT_TRUE(buffer.IsEmpty());
    EXPECT_EQ(buffer.WrCount(), 0);
    EXPECT_EQ(buffer.RdCount(), 0);
    EXPECT_EQ(buffer.Write("12345678", 8), 8);
}

TEST(TBuffer, ResizingNeverLosesHeldBytes)
{
    TBuffer buffer(10);
    buffer.Write("0123456789", 10);
    buffer.Remove(4);
    buffer.SetSize(20);
    EXPECT_EQ(Held(buffer), "456789");
    EXPECT_EQ(buffer.Write("abc", 3), 3);
    EXPECT_EQ(Held(buffer), "456789abc");

    buffer.SetSize(2);
    EXPECT_EQ(buffer.Size(), 9);
    EXPECT_EQ(Held(buffer), "456789abc");
    buffer.Remove(9);
    buffer.SetSize(0);
    EXPECT_EQ(buffer.Size(), 1);
}

TEST(WSocketErrors, CodesAndTextsFollowTheWindowsSocketsTable)
{
    struct TCase {
        int errnoValue, code;
        const char* text;
    };

    for (const TCase& test : {
             TCase { ECONNREFUSED, 10061, "Connection refused" },
             TCase { ETIMEDOUT, 10060, "Connection timed out" },
             TCase { EHOSTUNREACH, 10065, "No route to host" },
             TCase { ENETUNREACH, 10051, "Network is unreachable" },
             TCase { ECONNRESET, 10054, "Connection reset by peer" },
             TCase { EPIPE, 10054, "Connection reset by peer" },
             TCase { ECONNABORTED, 10053, "Connection aborted" },
             TCase { EAGAIN, 10035, "Operation would block" },
             TCase { EINPROGRESS, 10036, "Operation now in progress" },
             TCase { ENOTCONN, 10057, "Socket is not connected" },
             TCase { EADDRINUSE, 10048, "Address already in use" },
             TCase { EINTR, 10004, "Interrupted system call" },
             TCase { EMFILE, 10024, "Too many open files" },
             TCase { ENOSPC, 10000 + ENOSPC, "Not a WinSock error" },
         }) {
        EXPECT_EQ(WSocketErrorFromErrno(test.errnoValue), test.code) << test.text;
        EXPECT_EQ(WSocketErrorDesc(test.code), test.text);
    }
    EXPECT_EQ(WSocketErrorDesc(0), "No Error");
    EXPECT_EQ(WSocketErrorDesc(11001), "Host not found");
    EXPECT_EQ(WSocketErrorDesc(11004), "No Data");
    EXPECT_EQ(WSocketErrorDesc(10093), "WinSock not initialized");
    for (int unknown : { -1, 1, 10000, 10072, 10090, 11000, 11005, 65535 })
        EXPECT_EQ(WSocketErrorDesc(unknown), "Not a WinSock error") << unknown;
}
