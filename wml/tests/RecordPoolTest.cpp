#include "wml/RecordPool.h"

#include "wml/WMLDeck.h"
#include "wml/WMLObject.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace pivrel::wml {
namespace {

    std::unique_ptr<TWMLObject> MakeRecord(int kind, int n)
    {
        const std::string tag = "record " + std::to_string(n) + " with a text too long to stay inline";
        switch (kind % 4) {
        case 0: {
            auto text = std::make_unique<TWMLText>();
            text->Text = tag;
            return text;
        }
        case 1: {
            auto link = std::make_unique<TWMLLink>();
            link->Link = tag;
            link->JumpID = n;
            return link;
        }
        case 2: {
            auto image = std::make_unique<TWMLImage>();
            image->Src = tag;
            image->SourceWidth = n;
            return image;
        }
        default: {
            auto select = std::make_unique<TWMLSelect>();
            select->VarObject.Edit().NameList.assign(3, tag);
            select->Title = tag;
            return select;
        }
        }
    }

    std::string Contents(const TWMLObject& record)
    {
        switch (record.Class()) {
        case TWMLClass::Text:
            return record.As<TWMLText>().Text;
        case TWMLClass::Link:
            return record.As<TWMLLink>().Link;
        case TWMLClass::Image:
            return record.As<TWMLImage>().Src;
        case TWMLClass::Select:
            return record.As<TWMLSelect>().Title;
        default:
            return {};
        }
    }

    // Records of several sizes freed in random order and taken again must never share storage:
    // every record still holds what it was given, and the live count returns to where it began.
    TEST(RecordPool, FreedPlacesAreReusedWithoutSharing)
    {
        const std::size_t liveBefore = RecordPoolUsage().LiveRecords;
        std::mt19937 random(7);
        std::vector<std::unique_ptr<TWMLObject>> records;
        std::vector<std::string> expected;
        int serial = 0;
        for (int round = 0; round < 6; ++round) {
            for (int i = 0; i < 3000; ++i) {
                records.push_back(MakeRecord(int(random() % 4), serial));
                expected.push_back(Contents(*records.back()));
                ++serial;
            }
            EXPECT_EQ(RecordPoolUsage().LiveRecords, liveBefore + records.size());
            // Drop about half, chosen at random, so that the free places interleave with live ones.
            for (std::size_t i = 0; i < records.size();) {
                if (random() % 2 == 0) {
                    records.erase(records.begin() + std::ptrdiff_t(i));
                    expected.erase(expected.begin() + std::ptrdiff_t(i));
                } else {
                    ++i;
                }
            }
            for (std::size_t i = 0; i < records.size(); ++i)
                ASSERT_EQ(Contents(*records[i]), expected[i]) << "round " << round << ", record " << i;
        }
        records.clear();
        EXPECT_EQ(RecordPoolUsage().LiveRecords, liveBefore);
    }

    // Decks built one after another, each dropped before the next, leave nothing behind and do not
    // make the pool grow without bound.
    TEST(RecordPool, DecksComeAndGoWithoutGrowth)
    {
        const std::size_t liveBefore = RecordPoolUsage().LiveRecords;
        TStringList lines = { "<wml><card id=\"a\">" };
        for (int i = 0; i < 2000; ++i)
            lines.push_back("<p>text " + std::to_string(i) + "<br/><a href=\"#a\">go</a></p>");
        lines.push_back("</card></wml>");
        std::size_t reservedAfterFirst = 0;
        for (int round = 0; round < 5; ++round) {
            auto deck = std::make_unique<TWMLDeck>();
            ASSERT_TRUE(deck->Parse(lines));
            ASSERT_EQ(deck->CardList.size(), 1u);
            EXPECT_GT(RecordPoolUsage().LiveRecords, liveBefore + 6000);
            deck.reset();
            EXPECT_EQ(RecordPoolUsage().LiveRecords, liveBefore);
            if (round == 0)
                reservedAfterFirst = RecordPoolUsage().ReservedBytes;
            EXPECT_LE(RecordPoolUsage().ReservedBytes, reservedAfterFirst);
        }
    }

    // The pool hands out storage aligned for any record and for the strings inside it.
    TEST(RecordPool, StorageIsAligned)
    {
        std::vector<void*> blocks;
        for (std::size_t size : { std::size_t(1), std::size_t(17), std::size_t(500), std::size_t(1024),
                 std::size_t(1025), std::size_t(5000) }) {
            void* block = AllocateRecord(size);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(std::max_align_t), 0u) << size;
            std::memset(block, 0xA5, size);
            FreeRecord(block, size);
        }
        FreeRecord(nullptr, 16);
    }

} // namespace
} // namespace pivrel::wml
