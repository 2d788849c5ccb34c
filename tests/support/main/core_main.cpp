// GoogleTest entry point for headless tests: one QCoreApplication for the
// whole run, so sockets, timers and posted events have a real event loop.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "PrivateKeyring.h"

int main(int argc, char** argv)
{
    hideTheUsersKeyring();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
