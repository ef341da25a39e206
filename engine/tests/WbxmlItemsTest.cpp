#include "engine/WbxmlItems.h"

#include <gtest/gtest.h>
#include <string>

namespace pivrel::engine {
namespace {

    std::string Bytes(std::initializer_list<int> values)
    {
        std::string bytes;
        for (const int value : values)
            bytes += static_cast<char>(value);
        return bytes;
    }

    struct TSplitCase {
        const char* name;
        std::string body;
        // -1: not split.
        int items;
    };

    TEST(SplitRootContent, CutsTheRootsContentIntoWholeItemsOrRefuses)
    {
        const TSplitCase cases[] = {
            // <wml><card/><card>STR_I "a"</card></wml>
            { "two cards", Bytes({ 0x7F, 0x27, 0x67, 0x03, 'a', 0, 0x01, 0x01 }), 2 },
            // A card with attributes (start token, STR_I value) and nested content.
            { "attributes",
                Bytes({ 0x7F, 0xE7, 0x55, 0x03, 'x', 0, 0x01, 0x60, 0x83, 0x00, 0x01, 0x01, 0x01 }), 1 },
            // Text runs between cards: STR_T, ENTITY, OPAQUE and EXT_I each stand alone.
            { "text runs",
                Bytes({ 0x7F, 0x83, 0x05, 0x02, 0x81, 0x00, 0xC3, 0x02, 'z', 'z', 0x40, 'v', 0, 0x01 }), 4 },
            { "literal tag", Bytes({ 0x7F, 0x44, 0x00, 0x01, 0x01 }), 1 },
            { "processing instruction", Bytes({ 0x7F, 0x43, 0x05, 0x01, 0x27, 0x01 }), 2 },
            { "empty root", Bytes({ 0x7F, 0x01 }), 0 },
            { "root without content", Bytes({ 0x3F }), -1 },
            { "root with attributes", Bytes({ 0xFF, 0x05, 0x01, 0x01 }), -1 },
            { "literal root", Bytes({ 0x44, 0x00, 0x01 }), -1 },
            { "code page switch", Bytes({ 0x7F, 0x00, 0x01, 0x27, 0x01 }), -1 },
            { "cut short", Bytes({ 0x7F, 0x67, 0x03, 'a' }), -1 },
            { "unterminated string", Bytes({ 0x7F, 0x03, 'a', 'b' }), -1 },
            { "opaque past the end", Bytes({ 0x7F, 0xC3, 0x7F, 'a', 0x01 }), -1 },
            { "bytes after the root", Bytes({ 0x7F, 0x27, 0x01, 0x27 }), -1 },
            { "unclosed element", Bytes({ 0x7F, 0x67, 0x67, 0x01, 0x01 }), -1 },
            { "empty", "", -1 },
        };
        for (const TSplitCase& c : cases) {
            const auto items = SplitRootContent(c.body);
            EXPECT_EQ(items ? int(items->size()) : -1, c.items) << c.name;
            if (!items)
                continue;
            // Items follow each other without a gap, from after the root tag to before its END.
            std::size_t total = 0;
            for (const std::string_view item : *items) {
                EXPECT_EQ(item.data(), c.body.data() + 1 + total) << c.name;
                total += item.size();
            }
            EXPECT_EQ(total, c.body.size() - 2) << c.name;
        }
    }

    struct TReadableCase {
        const char* name;
        std::string body;
        bool readable;
    };

    TEST(ReadableBody, FollowsEveryTokenAndRefusesWhatTheDecoderWouldTripOver)
    {
        const TReadableCase cases[] = {
            { "deck",
                Bytes({ 0x7F, 0xE7, 0x55, 0x03, 'x', 0, 0x01, 0x60, 0x02, 0xA9, 0x00, 0x01, 0x01, 0x01 }),
                true },
            { "page switches", Bytes({ 0x00, 0x00, 0x7F, 0x00, 0x01, 0xA7, 0x00, 0x00, 0x05, 0x01, 0x01 }),
                true },
            { "processing instructions around", Bytes({ 0x43, 0x05, 0x01, 0x3F, 0x43, 0x05, 0x01 }), true },
            { "largest character", Bytes({ 0x7F, 0x02, 0xC3, 0xFF, 0x7F, 0x01 }), true },
            { "entity past every character", Bytes({ 0x7F, 0x02, 0xC4, 0x80, 0x00, 0x01 }), false },
            { "entity past 31 bits", Bytes({ 0x7F, 0x02, 0x88, 0x80, 0x80, 0x80, 0x00, 0x01 }), false },
            { "text as root", Bytes({ 0x03, 'a', 0 }), false },
            { "nothing but an instruction", Bytes({ 0x43, 0x05, 0x01 }), false },
            { "cut short", Bytes({ 0x7F, 0x67 }), false },
            { "bytes after the root", Bytes({ 0x3F, 0x27 }), true },
            { "bad entity in an instruction after the root",
                Bytes({ 0x3F, 0x43, 0x05, 0x02, 0xC4, 0x80, 0x00, 0x01 }), false },
            { "empty", "", false },
        };
        for (const TReadableCase& c : cases)
            EXPECT_EQ(ReadableBody(c.body), c.readable) << c.name;
    }

} // namespace
} // namespace pivrel::engine
