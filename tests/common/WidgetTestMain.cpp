#include <QApplication>
#include <gtest/gtest.h>

#ifdef LARKSPAN_TEST_BUSY_POINTER
#include "app/BusyPointer.h"
#endif

// Tests of widgets run with a QApplication on the offscreen platform unless
// another one is asked for. Built with LARKSPAN_TEST_BUSY_POINTER, the main
// also installs the application's busy pointer, so that the windows' tests
// see the session layer's busy state as the program shows it.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#ifdef LARKSPAN_TEST_BUSY_POINTER
    InstallBusyPointer();
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
