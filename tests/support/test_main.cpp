#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

// One QApplication for every test, on the offscreen platform so no test needs a display.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
