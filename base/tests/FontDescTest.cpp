#include "base/FontDesc.h"

#include <gtest/gtest.h>
#include <string>

namespace pivrel::base {
namespace {

    // Fonts compare by face, size, style, colour and character set, however their face names
    // were made; a face name reads back exactly as it was given.
    TEST(FontDesc, FacesCompareByTheirText)
    {
        const std::string built = std::string("Cour") + "ier New";

        const struct {
            TFaceName A;
            TFaceName B;
            bool Equal;
        } cases[] = {
            { TFaceName(), TFaceName("Arial"), true },
            { TFaceName("Courier New"), TFaceName(built), true },
            { TFaceName("Arial"), TFaceName("arial"), false },
            { TFaceName(""), TFaceName(), false },
            { TFaceName(std::string_view("Ta\0homa", 7)), TFaceName("Ta"), false },
        };

        for (const auto& c : cases) {
            SCOPED_TRACE(c.A.Text() + " / " + c.B.Text());
            EXPECT_EQ(c.A == c.B, c.Equal);
            EXPECT_EQ(c.A == c.B.Text(), c.Equal);
            TFontDesc a;
            TFontDesc b;
            a.Name = c.A;
            b.Name = c.B;
            EXPECT_EQ(a == b, c.Equal);
        }
        EXPECT_EQ(TFaceName(std::string_view("Ta\0homa", 7)).Text().size(), 7u);
    }

    TEST(FontDesc, AssigningAFaceNameChangesOnlyThatFont)
    {
        TFontDesc a;
        TFontDesc b = a;
        a.Name = "Courier New";
        EXPECT_EQ(a.Name, "Courier New");
        EXPECT_EQ(b.Name, "Arial");
        EXPECT_FALSE(a == b);
    }

} // namespace
} // namespace pivrel::base
