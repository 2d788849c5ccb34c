// GoogleTest entry point for widget tests. They run without a display: the
// offscreen platform is the default unless the caller chose another one (test
// discovery runs this binary too, outside ctest's environment).
#include <QApplication>
#include <gtest/gtest.h>

#include "PrivateKeyring.h"

int main(int argc, char** argv)
{
    hideTheUsersKeyring();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
