#include "jumper/hide_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fakes.h"
#include "jumper/random.h"

namespace {

using fakes::FieldEvent;
using fakes::Lcg;
using fakes::MetricEvent;
using fakes::PosEvent;
using fakes::QueuedShowEvent;
using fakes::ShowEvent;
using fakes::SleepEvent;
using fakes::StateEvent;
using jumper::SizeField;
using Log = std::vector<std::string>;

constexpr platform::WindowHandle kTarget = 0x1234;
// Every placement's move shows the window.
constexpr unsigned kShow = platform::kSwpShowWindow;

// The four field reads of one refresh, Max before Min, width before height.
const Log kRefreshReads = {FieldEvent(SizeField::MaxWidth), FieldEvent(SizeField::MinWidth),
                           FieldEvent(SizeField::MaxHeight), FieldEvent(SizeField::MinHeight)};

void Append(Log& log, const Log& more) { log.insert(log.end(), more.begin(), more.end()); }

class HideThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop->SetScreen(1024, 768);
        desktop->AddWindow(kTarget, "Target window");
    }
    void TearDown() override {
        if (worker) {
            worker->runningthread = false;
            desktop->ReleaseAll();
            EXPECT_TRUE(ui->PumpUntil([&] { return fakes::Released(worker, 1); }))
                << "the worker did not end";
        }
        ui->Close();
    }

    void Start(platform::WindowHandle target, std::uint32_t width, std::uint32_t height) {
        worker = std::make_shared<jumper::THideThread>(desktop, ui, host, gate);
        worker->SetTarget(target, fakes::SimDesktop::OwnerOf(target));
        worker->wdth = width;
        worker->hght = height;
        worker->Resume();
    }
    bool PumpUntilSleeps(std::size_t count) {
        return ui->PumpUntil([&] { return desktop->SleepsEntered() >= count; });
    }
    bool PumpUntilEnded() {
        return ui->PumpUntil([&] { return fakes::Released(worker, 1); });
    }

    std::shared_ptr<fakes::World> world = std::make_shared<fakes::World>();
    std::shared_ptr<fakes::SimDesktop> desktop = std::make_shared<fakes::SimDesktop>(world);
    std::shared_ptr<fakes::PumpUi> ui = std::make_shared<fakes::PumpUi>(world);
    std::shared_ptr<jumper::PlacementGate> gate = std::make_shared<jumper::PlacementGate>();
    fakes::RecordingHost host{*world};  // fields: width 100..300, height 400..700
    std::shared_ptr<jumper::THideThread> worker;
};

// Draws in a cycle: y, x, width, height, pause, twice; the screen size is read for each draw.
TEST_F(HideThreadTest, OneCycleMakesItsCallsAndDrawsInOrder) {
    constexpr std::uint32_t kSeed = 20240601;
    jumper::RandSeed = kSeed;
    Lcg model{kSeed};
    desktop->HoldSleeps();
    Start(kTarget, 150, 250);

    ASSERT_TRUE(PumpUntilSleeps(1));
    Log expected = {ShowEvent(kTarget, platform::kSwShowNormal), MetricEvent(platform::kSmCyScreen),
                    MetricEvent(platform::kSmCxScreen)};
    const int y1 = model.Random(768);
    const int x1 = model.Random(1024);
    expected.push_back(PosEvent(kTarget, platform::kHwndTop, x1, y1, 150, 250, kShow));
    Append(expected, kRefreshReads);
    const int width1 = model.Range(100, 300);
    const int height1 = model.Range(400, 700);
    expected.push_back(StateEvent(true));
    expected.push_back(SleepEvent(static_cast<std::uint32_t>(model.Random(5000))));
    EXPECT_EQ(world->Log(), expected);
    EXPECT_EQ(jumper::RandSeed.load(), model.state);
    EXPECT_EQ(worker->wdth.load(), static_cast<std::uint32_t>(width1));
    EXPECT_EQ(worker->hght.load(), static_cast<std::uint32_t>(height1));

    // The second half-cycle hides and shows again, on a screen that has changed meanwhile,
    // with the size the refresh drew.
    desktop->SetScreen(640, 480);
    desktop->ReleaseSleeps(1);
    ASSERT_TRUE(PumpUntilSleeps(2));
    Append(expected, {ShowEvent(kTarget, platform::kSwHide), MetricEvent(platform::kSmCyScreen),
                      MetricEvent(platform::kSmCxScreen)});
    const int y2 = model.Random(480);
    const int x2 = model.Random(640);
    expected.push_back(PosEvent(kTarget, platform::kHwndTop, x2, y2, width1, height1, kShow));
    Append(expected, kRefreshReads);
    model.Range(100, 300);
    model.Range(400, 700);
    expected.push_back(StateEvent(true));
    expected.push_back(SleepEvent(static_cast<std::uint32_t>(model.Random(5000))));
    EXPECT_EQ(world->Log(), expected);

    // Stopped in the second pause: no further cycle, one last refresh, then the end.
    worker->runningthread = false;
    desktop->ReleaseSleeps(1);
    ASSERT_TRUE(PumpUntilEnded());
    Append(expected, kRefreshReads);
    model.Range(100, 300);
    model.Range(400, 700);
    Append(expected, {StateEvent(false), "ended"});
    EXPECT_EQ(world->Log(), expected);
    EXPECT_EQ(jumper::RandSeed.load(), model.state);
    for (const auto* reporter : host.reporters) EXPECT_EQ(reporter, worker.get());
}

TEST_F(HideThreadTest, StopInTheFirstPauseStillRunsTheSecondHalfCycle) {
    desktop->HoldSleeps();
    Start(kTarget, 150, 250);
    ASSERT_TRUE(PumpUntilSleeps(1));
    worker->runningthread = false;
    desktop->ReleaseAll();
    ASSERT_TRUE(PumpUntilEnded());
    const auto placements = desktop->Placements();
    ASSERT_EQ(placements.size(), 2u);
    EXPECT_EQ(world->Events({"show", "state", "ended"}),
              (Log{ShowEvent(kTarget, platform::kSwShowNormal), StateEvent(true),
                   ShowEvent(kTarget, platform::kSwHide), StateEvent(false), StateEvent(false),
                   "ended"}));
    EXPECT_EQ(desktop->SleepsEntered(), 2u);
}

TEST_F(HideThreadTest, WithoutATargetOnlyRefreshesAndPauses) {
    constexpr std::uint32_t kSeed = 777;
    jumper::RandSeed = kSeed;
    Lcg model{kSeed};
    desktop->HoldSleeps();
    Start(0, 150, 250);
    ASSERT_TRUE(PumpUntilSleeps(1));
    desktop->ReleaseSleeps(1);
    ASSERT_TRUE(PumpUntilSleeps(2));
    Log expected;
    for (int half = 0; half < 2; ++half) {
        Append(expected, kRefreshReads);
        model.Range(100, 300);
        model.Range(400, 700);
        expected.push_back(StateEvent(true));
        expected.push_back(SleepEvent(static_cast<std::uint32_t>(model.Random(5000))));
    }
    EXPECT_EQ(world->Log(), expected);
    EXPECT_EQ(jumper::RandSeed.load(), model.state);
}

TEST_F(HideThreadTest, BadFieldInTheRefreshEndsTheLoopSilently) {
    constexpr std::uint32_t kSeed = 4;
    jumper::RandSeed = kSeed;
    Lcg model{kSeed};
    host.fields[SizeField::MaxHeight] = L"tall";
    Start(kTarget, 150, 250);
    ASSERT_TRUE(PumpUntilEnded());
    const int y = model.Random(768);
    const int x = model.Random(1024);
    // The refresh fails at Max Height, having drawn the width; so does the final one.
    model.Range(100, 300);
    model.Range(100, 300);
    const Log failing_refresh = {FieldEvent(SizeField::MaxWidth), FieldEvent(SizeField::MinWidth),
                                 FieldEvent(SizeField::MaxHeight)};
    Log expected = {ShowEvent(kTarget, platform::kSwShowNormal), MetricEvent(platform::kSmCyScreen),
                    MetricEvent(platform::kSmCxScreen),
                    PosEvent(kTarget, platform::kHwndTop, x, y, 150, 250, kShow)};
    Append(expected, failing_refresh);
    Append(expected, failing_refresh);
    expected.push_back("ended");
    EXPECT_EQ(world->Log(), expected);
    EXPECT_EQ(jumper::RandSeed.load(), model.state);
    EXPECT_FALSE(worker->runningthread);
}

// A refresh that fails once ends the loop; the final refresh then reports the worker stopped.
TEST_F(HideThreadTest, AfterAnErrorTheFinalRefreshReportsNotRunning) {
    host.first_reads[SizeField::MinWidth] = {L"100", L""};  // the second refresh fails
    Start(kTarget, 150, 250);
    ASSERT_TRUE(PumpUntilEnded());
    EXPECT_EQ(world->Events({"show", "state", "ended"}),
              (Log{ShowEvent(kTarget, platform::kSwShowNormal), StateEvent(true),
                   ShowEvent(kTarget, platform::kSwHide), StateEvent(false), "ended"}));
    EXPECT_EQ(desktop->SleepsEntered(), 1u);
    EXPECT_EQ(desktop->Placements().size(), 2u);
    EXPECT_FALSE(worker->runningthread);
}

// A handle that comes to name another owner's window (the target closed, its value made
// again), and a target whose program is not answering, are left alone as a closed window is:
// no call, the same draws; the worker goes on, and the target jumps again once it answers.
TEST_F(HideThreadTest, TargetOfAnotherOwnerOrNotAnsweringGetsNoCallsAndTheSameDraws) {
    constexpr std::uint32_t kSeed = 99;
    jumper::RandSeed = kSeed;
    Lcg model{kSeed};
    desktop->HoldSleeps();
    Start(kTarget, 150, 250);
    ASSERT_TRUE(PumpUntilSleeps(1));
    const auto skipped = [&](std::size_t sleeps) {
        ASSERT_TRUE(PumpUntilSleeps(sleeps));
        EXPECT_EQ(desktop->Placements().size(), 1u);
        EXPECT_EQ(world->Events({"show"}), Log{ShowEvent(kTarget, platform::kSwShowNormal)});
        EXPECT_TRUE(worker->runningthread);
    };
    model.Random(768);
    model.Random(1024);
    model.Range(100, 300);
    model.Range(400, 700);
    model.Random(5000);

    desktop->ReuseHandle(kTarget, {777, 888});
    desktop->ReleaseSleeps(1);
    skipped(2);
    desktop->ReuseHandle(kTarget, fakes::SimDesktop::OwnerOf(kTarget));
    desktop->SetHung(kTarget, true);
    desktop->ReleaseSleeps(1);
    skipped(3);
    for (int half = 0; half < 2; ++half) {  // y, x, width, height, pause
        model.Random(768);
        model.Random(1024);
        model.Range(100, 300);
        model.Range(400, 700);
        model.Random(5000);
    }
    EXPECT_EQ(jumper::RandSeed.load(), model.state);

    desktop->SetHung(kTarget, false);
    desktop->ReleaseSleeps(1);
    ASSERT_TRUE(PumpUntilSleeps(4));
    EXPECT_EQ(world->Events({"show"}), (Log{ShowEvent(kTarget, platform::kSwShowNormal),
                                           ShowEvent(kTarget, platform::kSwHide)}));
    EXPECT_EQ(desktop->Placements().size(), 2u);
}

TEST_F(HideThreadTest, ClosedGateEndsTheLoopWithoutAPlacement) {
    gate->EndPlacements(*desktop, std::chrono::milliseconds(0));
    Start(kTarget, 150, 250);
    ASSERT_TRUE(PumpUntilEnded());
    Log expected = kRefreshReads;
    Append(expected, {StateEvent(false), "ended"});
    EXPECT_EQ(world->Log(), expected);
}

class GateEndTest : public HideThreadTest {
protected:
    // Starts a worker and holds it at the start of the hide of its second placement.
    void HoldInTheHide() {
        desktop->HoldSleeps();
        Start(kTarget, 150, 250);
        ASSERT_TRUE(PumpUntilSleeps(1));
        desktop->Freeze();
        desktop->ReleaseSleeps(1);
        ASSERT_TRUE(ui->PumpUntil([&] { return desktop->FrozenWaiters() == 1; }));
    }
    // The end of the process, on a thread of its own; whether it is over.
    void EndPlacements(std::chrono::milliseconds wait) {
        ending = std::thread([this, wait] {
            gate->EndPlacements(*desktop, wait);
            ended = true;
        });
    }
    void TearDown() override {
        desktop->ReleaseTerminations();
        desktop->Thaw();
        if (ending.joinable()) ending.join();
        HideThreadTest::TearDown();
    }

    std::thread ending;
    std::atomic<bool> ended{false};
};

// A placement under way when the process ends is waited for, so that the target is shown
// again, and no other starts.
TEST_F(GateEndTest, APlacementUnderWayIsWaitedFor) {
    ASSERT_NO_FATAL_FAILURE(HoldInTheHide());
    EndPlacements(std::chrono::seconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(ended) << "the end came in the middle of a placement";
    desktop->Thaw();
    ending.join();
    const Log kinds = world->Events({"show", "pos", "queued-show", "terminate"});
    ASSERT_EQ(kinds.size(), 4u) << ::testing::PrintToString(kinds);
    EXPECT_EQ(kinds[2], ShowEvent(kTarget, platform::kSwHide));
    EXPECT_EQ(desktop->Placements().back().flags, kShow);
    desktop->ReleaseAll();
    ASSERT_TRUE(PumpUntilEnded());
    EXPECT_EQ(world->Events({"show", "pos"}).size(), 4u);  // none after the end
}

// A worker that its target holds up for longer than the wait is ended first; only then is its
// target's show queued, so that no call of that worker can come after it.
TEST_F(GateEndTest, AWorkerHeldUpIsEndedBeforeItsTargetIsShown) {
    ASSERT_NO_FATAL_FAILURE(HoldInTheHide());
    EndPlacements(std::chrono::milliseconds(100));
    ending.join();
    ui->Close();
    desktop->Thaw();
    EXPECT_EQ(world->Events({"show", "pos", "queued-show", "terminate"}),
              (Log{ShowEvent(kTarget, platform::kSwShowNormal),
                   world->Events({"pos"}).at(0), fakes::TerminateEvent(1),
                   QueuedShowEvent(kTarget, platform::kSwShowNa)}));
}

// A target that answers once the wait is over: its worker finishes the placement and then
// waits where it is to be ended, not going on to a refresh or a pause.
TEST_F(GateEndTest, AWorkerWhoseTargetAnswersTooLateWaitsToBeEnded) {
    ASSERT_NO_FATAL_FAILURE(HoldInTheHide());
    desktop->HoldTerminations();
    EndPlacements(std::chrono::milliseconds(100));
    ASSERT_TRUE(ui->PumpUntil([&] { return desktop->TerminationsAsked() == 1; }));
    const std::size_t before = world->Log().size();
    desktop->Thaw();
    ASSERT_TRUE(ui->PumpUntil([&] {
        return world->Log().back() == fakes::WaitToBeEndedEvent(1);
    }));
    desktop->ReleaseTerminations();
    ending.join();
    ui->Close();
    const Log log = world->Log();
    const Log after(log.begin() + static_cast<std::ptrdiff_t>(before), log.end());
    ASSERT_EQ(after.size(), 7u) << ::testing::PrintToString(after);
    EXPECT_EQ(after[0], ShowEvent(kTarget, platform::kSwHide));
    EXPECT_EQ(after[3].substr(0, 4), "pos ");
    EXPECT_EQ(Log(after.begin() + 4, after.end()),
              (Log{fakes::WaitToBeEndedEvent(1), fakes::TerminateEvent(1),
                   QueuedShowEvent(kTarget, platform::kSwShowNa)}));
}

}  // namespace
