#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "KvUIOperation.h"

namespace {

class Operation : public KvUIOperation {
public:
    int UpdateProgress(_PROGRESS_INFO* info) override {
        if (info != nullptr)
            SetProgressInfo(*info);
        return 0;
    }
};

TEST(Operation, ContinuedAnswersByStatus) {
    Operation op;
    struct Case {
        int status;
        int answer;
    } cases[] = {{KV_STATUS_IDLE, 0}, {KV_STATUS_STOP_REQUESTED, 0}, {KV_STATUS_RUNNING, 1}};
    for (const Case& c : cases) {
        op.SetStatus(c.status);
        EXPECT_EQ(op.Continued(), c.answer) << c.status;
        EXPECT_EQ(op.IsOperationExit(), c.status == KV_STATUS_IDLE ? 1 : 0);
    }
}

// A paused worker stays inside Continued until another thread resumes or stops it.
TEST(Operation, PausedWorkerWaitsForResumeOrStop) {
    for (const bool resume : {true, false}) {
        Operation op;
        op.SetStatus(KV_STATUS_RUNNING);
        op.PauseOrResumeOperation();
        ASSERT_EQ(op.GetStatus(), KV_STATUS_PAUSED);
        EXPECT_EQ(op.IsOperationExit(), 0);

        std::atomic<int> answer{-1};
        std::thread worker([&] { answer = op.Continued(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(answer.load(), -1) << "returned while paused";
        if (resume)
            op.PauseOrResumeOperation();
        else
            op.StopOperation(0);
        worker.join();
        EXPECT_EQ(answer.load(), resume ? 1 : 0);
    }
}

TEST(Operation, StopMarksABusyOperationAndKeepsAnIdleOneIdle) {
    struct Case {
        int status;
        int discard;
        int status_after;
        int build_after;
    } cases[] = {
        {KV_STATUS_RUNNING, 1, KV_STATUS_STOP_REQUESTED, 0},
        {KV_STATUS_RUNNING, 0, KV_STATUS_STOP_REQUESTED, 1},
        {KV_STATUS_PAUSED, 1, KV_STATUS_STOP_REQUESTED, 0},
        {KV_STATUS_IDLE, 1, KV_STATUS_IDLE, 1},
    };
    for (const Case& c : cases) {
        Operation op;
        op.SetStatus(c.status);
        op.StopOperation(c.discard);
        EXPECT_EQ(op.GetStatus(), c.status_after);
        EXPECT_EQ(op.shouldBuild(), c.build_after);
        EXPECT_EQ(op.IsNeedUIUpdate(), 1);
    }
}

TEST(Operation, PauseOnlyTogglesRunningAndPaused) {
    for (int status : {KV_STATUS_IDLE, KV_STATUS_STOP_REQUESTED}) {
        Operation op;
        op.SetStatus(status);
        op.PauseOrResumeOperation();
        EXPECT_EQ(op.GetStatus(), status);
    }
}

// A worker that ends while the user presses stop must end idle: the stop
// tests and sets the status in one step, so it never revives a finished
// operation as "stop requested" (which would block every later request).
TEST(Operation, StopRacingTheEndOfTheWorkLeavesItIdle) {
    for (int round = 0; round < 200; ++round) {
        Operation op;
        op.SetStatus(KV_STATUS_RUNNING);
        std::thread worker([&] { op.SetStatus(KV_STATUS_IDLE); });
        op.StopOperation(1);
        worker.join();
        ASSERT_EQ(op.GetStatus(), KV_STATUS_IDLE) << "round " << round;
    }
}

TEST(Operation, ExchangeStatusChangesOnlyFromTheExpectedStatus) {
    Operation op;
    EXPECT_TRUE(op.ExchangeStatus(KV_STATUS_IDLE, KV_STATUS_RUNNING));
    EXPECT_FALSE(op.ExchangeStatus(KV_STATUS_IDLE, KV_STATUS_RUNNING));
    EXPECT_EQ(op.GetStatus(), KV_STATUS_RUNNING);
    EXPECT_FALSE(op.ExchangeStatus(KV_STATUS_RUNNING, 7));
}

TEST(Operation, BaseTreeIsAlwaysFinished) {
    Operation op;
    op.SetOpTreeFinished(0);
    EXPECT_EQ(op.IsOpTreeFinished(), 1);
}

}  // namespace
