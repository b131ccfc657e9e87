// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest with an application object: the bus client and the queued
// quitting events need one.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
