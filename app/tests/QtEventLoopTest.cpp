#include "app/QtEventLoop.h"

#include "base/tests/EventLoopContract.h"

#include <QApplication>

namespace pivrel::base::contract {

INSTANTIATE_TEST_SUITE_P(Qt, EventLoopContract,
    ::testing::Values(TEventLoopFactory([] { return std::make_unique<app::TQtEventLoop>(); })),
    [](const auto&) { return std::string("TQtEventLoop"); });

} // namespace pivrel::base::contract

int main(int argc, char** argv)
{
    // The window's tests need no display: they run on the offscreen platform.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
