#include <QApplication>
#include <gtest/gtest.h>

#include "app/BusyPointer.h"

// Every test executable runs with a QApplication, so widget tests and the
// session layer's busy-pointer code see the same environment as the program.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallBusyPointer();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
