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

} // namespace
