#include "base/WeakRef.h"

#include <gtest/gtest.h>
#include <memory>

namespace pivrel::base {
namespace {

    struct TOwner {
        int Value = 7;
        TWeakAnchor<TOwner> Anchor { *this };
    };

    TEST(WeakRefTest, LockGivesTheObjectWhileItLivesAndNullAfter)
    {
        auto owner = std::make_unique<TOwner>();
        const TWeakRef<TOwner> ref = owner->Anchor.Ref();
        const TWeakRef<TOwner> copy = ref;
        ASSERT_EQ(ref.Lock(), owner.get());
        EXPECT_EQ(copy.Lock()->Value, 7);
        EXPECT_FALSE(ref.Expired());
        owner.reset();
        EXPECT_EQ(ref.Lock(), nullptr);
        EXPECT_EQ(copy.Lock(), nullptr);
        EXPECT_TRUE(copy.Expired());
        EXPECT_EQ(TWeakRef<TOwner>().Lock(), nullptr);
    }

    TEST(WeakRefTest, ResetEndsEveryReferenceBeforeTheOwnerGoes)
    {
        TOwner owner;
        const TWeakRef<TOwner> ref = owner.Anchor.Ref();
        owner.Anchor.Reset();
        EXPECT_EQ(ref.Lock(), nullptr);
        EXPECT_EQ(owner.Anchor.Ref().Lock(), nullptr);
    }

} // namespace
} // namespace pivrel::base
