#include <QApplication>

#include <gtest/gtest.h>

// The view's tests need a QApplication; they run on the offscreen platform so that they need no
// display, and with the Liberation fonts standing in for Arial.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
