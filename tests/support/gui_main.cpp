#include "support/GuiEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (ctest's discovery step) needs no window system.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    tess::test::prepareGuiTestEnvironment();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
