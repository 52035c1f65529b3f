// SPDX-License-Identifier: GPL-3.0-or-later
// Test main for everything that needs a QApplication: window tests run on the
// offscreen platform, set up as the game sets itself up.

#include "app/application.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zarvoni::prepareApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
