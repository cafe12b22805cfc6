#include "framework/forms.h"
#include "framework/step_runner.h"
#include "tests/framework/test_helpers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <vector>

using namespace sv;

namespace {

TEST(StepRunner, StepsRunFromTheEventLoopTheirIntervalApart) {
    TStepRunner runner;
    std::vector<int> steps;
    QElapsedTimer clock;
    clock.start();
    runner.Start(3, 20, [&](int i) { steps.push_back(i); });
    EXPECT_TRUE(steps.empty()); // never inside the caller
    while (runner.Running() && clock.elapsed() < 5000) Application->HandleMessage();
    EXPECT_EQ(steps, (std::vector<int>{1, 2, 3}));
    EXPECT_GE(clock.elapsed(), 40);
}

TEST(StepRunner, StartingAgainOrStoppingDropsTheRunningSequence) {
    TStepRunner runner;
    std::vector<int> steps, waits;
    runner.SetWait([&](int ms) { waits.push_back(ms); });
    runner.Start(5, 10, [&](int i) {
        steps.push_back(i);
        if (i == 2) runner.Start(2, 7, [&](int j) { steps.push_back(10 + j); });
    });
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(steps, (std::vector<int>{1, 2, 11, 12}));
    EXPECT_EQ(waits, (std::vector<int>{10, 7, 7}));
    runner.Start(3, 10, [&](int i) { steps.push_back(100 + i); });
    runner.Stop();
    QApplication::processEvents();
    EXPECT_EQ(steps.size(), 4u);
    EXPECT_FALSE(runner.Running());
}

} // namespace
