#include <fstream>
#include <gtest/gtest.h>
#include <ostream>
#include <streambuf>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/TempDir.h"
#include "tools/CliCommands.h"

namespace pivrel::tools {
namespace {

#if defined(__SANITIZE_ADDRESS__)
    constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    constexpr bool kSanitized = true;
#else
    constexpr bool kSanitized = false;
#endif
#else
    constexpr bool kSanitized = false;
#endif

    class TNullBuffer : public std::streambuf
    {
    protected:
        int overflow(int c) override { return c; }

        std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    };

    std::string Repeat(const std::string& piece, std::size_t bytes)
    {
        std::string out;
        out.reserve(bytes + piece.size());
        while (out.size() < bytes)
            out += piece;
        return out;
    }

    // The largest resident size, in bytes, of a child process that runs `elements` on the file.
    long PeakOfElements(const std::string& path)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            TNullBuffer sink;
            std::ostream out(&sink);
            std::ostream err(&sink);
            ::_exit(RunCli({ "elements", path }, out, err));
        }
        int status = 0;
        rusage usage {};
        if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status))
            return -1;
        return usage.ru_maxrss * 1024L;
    }

    TEST(CliMemory, ElementsOfAHostileDeckStayWithinEightTimesItsSize)
    {
        if (kSanitized)
            GTEST_SKIP() << "the sanitizers' shadow memory is part of the resident size";
        constexpr std::size_t kSize = std::size_t(2) << 20;
        const std::string open = "<wml><card id=\"a\"><p>";
        const std::string close = "</p></card></wml>";

        const struct {
            const char* Name;
            std::string Deck;
        } cases[] = {
            { "anchor openings", open + Repeat("<a ", kSize) + close },
            { "line breaks", open + Repeat("<br/>", kSize) + close },
            { "words and tags", open + Repeat("a <b>b</b> ", kSize) + close },
            { "inputs", open + Repeat("<input name=\"n\"/>", kSize) + close },
            { "a template for many cards",
                "<wml><template>" + Repeat("<br/>", kSize / 8) + "</template>"
                    + Repeat("<card></card>", kSize / 2) + "</wml>" },
            { "a long template for many cards",
                "<wml><template><p>" + Repeat("words ", kSize / 4) + "</p></template>"
                    + Repeat("<card><p>x</p></card>", kSize) + "</wml>" },
            { "cards that never end", "<wml>" + Repeat("<card><p>a <b>b</b> ", kSize) + "</wml>" },
            { "ordinary cards",
                "<wml><template><do type=\"prev\" label=\"Back\"><prev/></do></template>"
                    + Repeat("<card id=\"c\" title=\"C\"><p align=\"center\">some words <b>bold</b> "
                             "$(name)<br/><a href=\"#c\">Next</a><br/><anchor>Send<go href=\"p.cgi\" "
                             "method=\"post\"><postfield name=\"u\" value=\"$(name)\"/></go></anchor>"
                             "<input name=\"name\" title=\"Name\"/><select name=\"s\"><option "
                             "value=\"1\">one</option><option value=\"2\">two</option></select></p></card>",
                        kSize)
                    + "</wml>" },
        };

        testsupport::TTempDir dir;
        ASSERT_FALSE(dir.Path().empty());
        for (const auto& c : cases) {
            SCOPED_TRACE(c.Name);
            const std::string path = dir.Path() + "/deck.wml";
            std::ofstream(path, std::ios::binary) << c.Deck;
            const long peak = PeakOfElements(path);
            ASSERT_GT(peak, 0);
            EXPECT_LE(std::size_t(peak), 8 * c.Deck.size() + (std::size_t(100) << 20));
        }
    }

} // namespace
} // namespace pivrel::tools
