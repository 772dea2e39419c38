#include <QCoreApplication>
#include <gtest/gtest.h>

// Tests of the layers below the user interface run with a QCoreApplication,
// as the headless runner does: no display, no GUI library.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
