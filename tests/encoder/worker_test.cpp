// The worker thread and the events on the owning thread.
#include "encoder/gogo_tea.h"
#include "tests/encoder/encoder_test_support.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace sv {
namespace {

using test::WaitFor;
using ::testing::ElementsAre;

struct Events {
    std::vector<std::string> seen;
    int finished = 0;

    void Attach(TGogoTea& tea) {
        tea.OnProgress = [this, &tea](TObject* sender, int now, int all) {
            EXPECT_EQ(sender, &tea);
            seen.push_back("progress " + std::to_string(now) + "/" + std::to_string(all));
        };
        tea.OnError = [this](TObject*, int code) {
            seen.push_back("error " + std::to_string(code));
        };
        tea.OnFinish = [this, &tea](TObject*, bool aborted) {
            EXPECT_FALSE(tea.IsEncoding());
            seen.push_back(aborted ? "finish aborted" : "finish");
            ++finished;
        };
    }
};

class GogoTeaWorker : public ::testing::Test {
protected:
    GogoTeaWorker() {
        fake.Reset();
        tea->SetSourceFile("/in/a.wav");
        tea->SetDestFile("/out/a.mp3");
        events.Attach(*tea);
    }
    ~GogoTeaWorker() override { delete tea; }

    bool WaitFinished(int count = 1) {
        return WaitFor([&] { return events.finished >= count; });
    }

    TGogoTea* tea = new TGogoTea(nullptr);
    test::FakeGogo fake;
    Events events;
};

TEST_F(GogoTeaWorker, ProgressEveryFrequencyFramesThenFinish) {
    fake.SetFrames(250);
    tea->Execute();
    ASSERT_TRUE(WaitFinished());
    EXPECT_THAT(events.seen, ElementsAre("progress 0/250", "progress 100/250", "progress 200/250",
                                         "progress 250/250", "finish"));
    EXPECT_FALSE(tea->IsEncoding());
    EXPECT_EQ(tea->EncodeResult(), 0);
    EXPECT_EQ(fake.FramesProcessed(), 251);
    std::vector<std::string> log = fake.Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_THAT(std::vector<std::string>(log.end() - 2, log.end()),
                ElementsAre("closeCoder", "endCoder"));
}

TEST_F(GogoTeaWorker, FrequencyOneReportsEveryFrame) {
    fake.SetFrames(3);
    tea->SetFrequency(1);
    tea->Execute();
    ASSERT_TRUE(WaitFinished());
    EXPECT_THAT(events.seen, ElementsAre("progress 0/3", "progress 1/3", "progress 2/3",
                                         "progress 3/3", "progress 3/3", "finish"));
}

TEST_F(GogoTeaWorker, ErrorAtAFrameEndsTheJob) {
    fake.SetFrames(250);
    fake.SetFailingFrame(150, 7);
    tea->Execute();
    ASSERT_TRUE(WaitFinished());
    EXPECT_THAT(events.seen,
                ElementsAre("progress 0/250", "progress 100/250", "error 7", "finish aborted"));
    EXPECT_EQ(tea->EncodeResult(), 7);
    EXPECT_EQ(fake.FramesProcessed(), 150);
}

TEST_F(GogoTeaWorker, ExceptionInsideTheLibraryCountsAsTen) {
    fake.SetFailingFrame(1, -1);
    tea->Execute();
    ASSERT_TRUE(WaitFinished());
    EXPECT_THAT(events.seen, ElementsAre("progress 0/250", "error 10", "finish aborted"));
    EXPECT_EQ(tea->EncodeResult(), 10);
}

TEST_F(GogoTeaWorker, AbortEndsTheJobOnce) {
    fake.SetFrames(1000000);
    fake.SetFrameDelayUs(200);
    tea->AbortEncode(); // idle: nothing
    tea->Execute();
    ASSERT_TRUE(WaitFor([&] { return !events.seen.empty(); }));
    tea->AbortEncode();
    tea->AbortEncode();
    ASSERT_TRUE(WaitFinished());
    test::Drain(100);
    EXPECT_EQ(events.finished, 1);
    EXPECT_EQ(events.seen.back(), "finish aborted");
    EXPECT_LT(fake.FramesProcessed(), 1000000);
    EXPECT_THAT(fake.Log(), ::testing::Contains("closeCoder"));
}

TEST_F(GogoTeaWorker, FinishHandlerStartsTheNextJobAndALateAbortLeavesItAlone) {
    fake.SetFrames(3);
    int jobs = 1;
    // The abort comes after the worker has ended the first job; its notice is stale.
    tea->OnProgress = [&](TObject*, int now, int all) {
        if (jobs == 1 && now == all && all > 0) tea->AbortEncode();
    };
    tea->OnFinish = [&](TObject*, bool aborted) {
        events.seen.push_back(aborted ? "finish aborted" : "finish");
        ++events.finished;
        if (jobs++ == 1) {
            fake.SetFrames(400);
            tea->Execute();
        }
    };
    tea->Execute();
    ASSERT_TRUE(WaitFinished(2));
    test::Drain(50);
    EXPECT_THAT(events.seen, ElementsAre("finish", "finish"));
    EXPECT_EQ(tea->AllFrames(), 400);
}

TEST_F(GogoTeaWorker, ErrorHandlerMayStartTheNextJobOnAClosedLibrary) {
    fake.SetFailingFrame(2, 9);
    bool restarted = false;
    tea->OnError = [&](TObject*, int) {
        if (restarted) return;
        restarted = true;
        // The failed job's library work is already closed.
        std::vector<std::string> log = fake.Log();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log.back(), "endCoder");
        fake.SetFailingFrame(0, 0);
        fake.SetFrames(5);
        tea->Execute();
    };
    tea->Execute();
    ASSERT_TRUE(WaitFinished());
    test::Drain(50);
    // The failed job's own finish notice was overtaken by the new job and dropped.
    EXPECT_EQ(events.seen.back(), "finish");
    EXPECT_EQ(events.finished, 1);
}

TEST_F(GogoTeaWorker, DestructionMidJobReportsNothing) {
    fake.SetFrames(1000000);
    fake.SetFrameDelayUs(200);
    tea->Execute();
    ASSERT_TRUE(WaitFor([&] { return !events.seen.empty(); }));
    size_t before = events.seen.size();
    delete tea;
    tea = nullptr;
    test::Drain(100);
    EXPECT_EQ(events.seen.size(), before);
    std::vector<std::string> log = fake.Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_THAT(std::vector<std::string>(log.end() - 2, log.end()),
                ElementsAre("closeCoder", "endCoder"));
}

TEST_F(GogoTeaWorker, MemoryJobDrainsTheRingThroughTheCallback) {
    fake.SetMemoryRequest(4096);
    tea->SetEncodeMode(_MEMORY);
    tea->QuerySettings();
    tea->Execute();
    std::string input(10000, '\0');
    for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<char>('a' + i % 26);
    ASSERT_TRUE(tea->WriteBuffer(input.data(), 6000));
    ASSERT_TRUE(tea->WriteBuffer(input.data() + 6000, 4000));
    ASSERT_TRUE(tea->WriteBuffer(nullptr, 0)); // end of input
    ASSERT_TRUE(WaitFinished());
    EXPECT_EQ(events.seen.back(), "finish");
    // Three requests: two full, the last one padded with zeros; the fourth finds the end.
    std::string got = fake.MemoryData();
    ASSERT_EQ(got.size(), 3u * 4096);
    EXPECT_EQ(got.substr(0, 10000), input);
    EXPECT_EQ(got.substr(10000), std::string(3 * 4096 - 10000, '\0'));
}

TEST_F(GogoTeaWorker, DestructionWhileTheCallbackWaitsForData) {
    tea->SetEncodeMode(_MEMORY);
    tea->QuerySettings();
    tea->Execute();
    ASSERT_TRUE(WaitFor([&] { return !events.seen.empty(); }));
    delete tea; // must not hang in the waiting callback
    tea = nullptr;
    test::Drain(50);
    EXPECT_THAT(events.seen, ElementsAre("progress 0/250"));
}

TEST_F(GogoTeaWorker, AbortWhileTheCallbackWaitsForData) {
    tea->SetEncodeMode(_MEMORY);
    tea->QuerySettings();
    tea->Execute();
    ASSERT_TRUE(WaitFor([&] { return !events.seen.empty(); }));
    tea->AbortEncode(); // no data will come: the job must end, as aborted, not as finished
    ASSERT_TRUE(WaitFinished());
    test::Drain(50);
    EXPECT_THAT(events.seen, ElementsAre("progress 0/250", "finish aborted"));
    EXPECT_FALSE(tea->IsEncoding());
    EXPECT_THAT(fake.Log(), ::testing::Contains("closeCoder"));
}

// Ends the test program when a step hangs, instead of leaving it to the runner's time-out.
class Watchdog {
public:
    explicit Watchdog(const char* step, int seconds = 10)
        : thread_([this, step, seconds] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, std::chrono::seconds(seconds), [this] { return over_; })) {
                  std::fprintf(stderr, "hung: %s\n", step);
                  std::_Exit(3);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            over_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool over_ = false;
    std::thread thread_;
};

// A memory job on a component that was made before another one: the job is fed from its own
// ring, and its abort and destruction end a wait for input.
class OlderComponentMemoryJob : public GogoTeaWorker {
protected:
    OlderComponentMemoryJob() {
        fake.SetMemoryRequest(1000);
        tea->SetEncodeMode(_MEMORY);
        newer->SetEncodeMode(_MEMORY);
    }
    ~OlderComponentMemoryJob() override { delete newer; }

    void StartAndWaitForInput() {
        tea->QuerySettings();
        tea->Execute();
        ASSERT_TRUE(WaitFor([&] { return !events.seen.empty(); }));
    }

    TGogoTea* newer = new TGogoTea(nullptr);
};

TEST_F(OlderComponentMemoryJob, ReadsItsOwnRingAndOutlivesTheNewerOne) {
    StartAndWaitForInput();
    ASSERT_TRUE(newer->WriteBuffer(std::string(3000, 'n').data(), 3000));
    delete newer;
    newer = nullptr;
    ASSERT_TRUE(tea->WriteBuffer(std::string(2000, 'o').data(), 2000));
    ASSERT_TRUE(tea->WriteBuffer(nullptr, 0));
    ASSERT_TRUE(WaitFinished());
    EXPECT_EQ(events.seen.back(), "finish");
    EXPECT_EQ(fake.MemoryData(), std::string(2000, 'o'));
}

TEST_F(OlderComponentMemoryJob, AbortEndsTheWait) {
    StartAndWaitForInput();
    Watchdog watchdog("abort of the older component");
    tea->AbortEncode();
    ASSERT_TRUE(WaitFinished());
    EXPECT_EQ(events.seen.back(), "finish aborted");
    EXPECT_FALSE(tea->IsEncoding());
}

TEST_F(OlderComponentMemoryJob, DestructionEndsTheWait) {
    StartAndWaitForInput();
    Watchdog watchdog("destruction of the older component");
    delete tea;
    tea = nullptr;
    std::vector<std::string> log = fake.Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.back(), "endCoder");
}

TEST_F(GogoTeaWorker, HandlerExceptionsStayOutOfTheEventLoop) {
    fake.SetFrames(2);
    std::string caught;
    auto saved = TGogoTea::HandleEventException;
    TGogoTea::HandleEventException = [&](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            caught = e.what();
        }
    };
    tea->OnFinish = [&](TObject*, bool) {
        ++events.finished;
        throw EGogoTeaError("handler failed");
    };
    tea->Execute();
    const bool done = WaitFinished();
    TGogoTea::HandleEventException = saved;
    ASSERT_TRUE(done);
    EXPECT_EQ(caught, "handler failed");
    EXPECT_FALSE(tea->IsEncoding());
}

} // namespace
} // namespace sv
