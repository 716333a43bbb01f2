#include "jumper/jump_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "fakes.h"
#include "jumper/random.h"
#include "platform/exception.h"

namespace {

using jumper::SizeField;
using platform::WindowHandle;

constexpr WindowHandle kAlpha = 0x101;
constexpr WindowHandle kBeta = 0x202;
constexpr WindowHandle kHigh = 0x90000000;  // above 2147483647
constexpr int kAlphaIndex = 0;
constexpr int kBetaIndex = 1;
constexpr int kHighIndex = 2;
const std::wstring kStop{jumper::kCaptionStop};
const std::wstring kRandom{jumper::kCaptionRandom};

class JumpControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        catalogue::CreateEntries();
        desktop->AddWindow(kAlpha, "Alpha window");
        desktop->AddWindow(0x303, "ab");
        desktop->AddWindow(kBeta, "Beta window");
        desktop->AddWindow(0x404, "Hidden window", false);
        desktop->AddWindow(kHigh, "High handle window");
        catalogue::refreshwindows(*desktop, list);
        ASSERT_EQ(list.items, (std::vector<std::string>{"Alpha window", "Beta window",
                                                        "High handle window"}));
        control.emplace(panel, desktop, ui_thread, gate);
    }
    void TearDown() override {
        for (const auto& worker : workers) worker->runningthread = false;
        desktop->ReleaseAll();
        EXPECT_TRUE(Pump([&] {
            return std::all_of(workers.begin(), workers.end(),
                               [&](const auto& worker) { return Ended(worker.get()); });
        })) << "a worker did not end";
        ui_thread->Close();
    }

    // Presses the wide button, keeping every worker it makes.
    void Click() {
        const auto track = [&] {
            const auto& worker = control->Worker();
            if (worker && std::find(workers.begin(), workers.end(), worker) == workers.end()) {
                workers.push_back(worker);
            }
        };
        try {
            control->Button2Click();
        } catch (...) {
            track();
            throw;
        }
        track();
    }
    // The message of the integer error the press raises.
    std::wstring ConvertErrorOfClick() {
        try {
            Click();
        } catch (const platform::EConvertError& error) {
            return error.Message();
        } catch (const platform::Exception& error) {
            return L"(not an integer error) " + error.Message();
        }
        return L"(no error)";
    }
    std::wstring ErrorOfClick() {
        try {
            Click();
        } catch (const platform::Exception& error) {
            return error.Message();
        }
        return L"(no error)";
    }
    bool Pump(const std::function<bool()>& done) { return ui_thread->PumpUntil(done); }
    bool PumpUntilSleeps(std::size_t count) {
        return Pump([&] { return desktop->SleepsEntered() >= count; });
    }
    bool PumpUntilPlacements(std::size_t count) {
        return Pump([&] { return desktop->Placements().size() >= count; });
    }
    // The current worker; workers keeps each one alive for the test.
    const jumper::THideThread* Current() const { return control->Worker().get(); }

    // Starts a worker on Alpha and holds it in its first pause, the button reading "Stop";
    // null if it gets no further.
    const jumper::THideThread* StartHeldInFirstPause() {
        desktop->HoldSleeps();
        panel.selected = kAlphaIndex;
        Click();
        const auto* const worker = Current();
        return PumpUntilSleeps(1) && panel.caption == kStop ? worker : nullptr;
    }
    // The worker's thread has let go of it: only workers and the control still hold it.
    bool Ended(const jumper::THideThread* worker) const {
        for (const auto& kept : workers) {
            if (kept.get() == worker) return fakes::Released(kept, Current() == worker ? 2 : 1);
        }
        ADD_FAILURE() << "not a worker of this test";
        return true;
    }

    std::shared_ptr<fakes::World> world = std::make_shared<fakes::World>();
    std::shared_ptr<fakes::SimDesktop> desktop = std::make_shared<fakes::SimDesktop>(world);
    std::shared_ptr<fakes::PumpUi> ui_thread = std::make_shared<fakes::PumpUi>(world);
    std::shared_ptr<jumper::PlacementGate> gate = std::make_shared<jumper::PlacementGate>();
    fakes::FakeList list{*world};
    fakes::FakePanel panel;
    std::optional<jumper::TJumpControl> control;
    std::vector<std::shared_ptr<jumper::THideThread>> workers;
};

TEST_F(JumpControlTest, StopOnlyClearsTheRunFlag) {
    panel.caption = kStop;  // no worker yet: nothing to stop
    panel.selected = kAlphaIndex;
    Click();
    EXPECT_FALSE(control->Worker());
    EXPECT_EQ(control->ActiveWindow(), 0u);

    panel.caption = kRandom;
    desktop->HoldSleeps();
    Click();
    const auto* const worker = Current();
    ASSERT_TRUE(worker);
    ASSERT_TRUE(PumpUntilSleeps(1));
    ASSERT_EQ(panel.caption, kStop);

    const auto seed = jumper::RandSeed.load();
    const auto width = worker->wdth.load();
    const auto height = worker->hght.load();
    const int caption_sets = panel.caption_sets;
    panel.selected = kBetaIndex;
    panel.fields[SizeField::MaxWidth] = L"50";
    panel.fields[SizeField::MinWidth] = L"50";
    Click();
    EXPECT_FALSE(worker->runningthread);
    EXPECT_EQ(Current(), worker);
    EXPECT_EQ(worker->activewindow.load(), kAlpha);
    EXPECT_EQ(control->ActiveWindow(), kAlpha);
    EXPECT_EQ(worker->wdth.load(), width);
    EXPECT_EQ(worker->hght.load(), height);
    EXPECT_EQ(jumper::RandSeed.load(), seed);  // nothing drawn
    EXPECT_EQ(panel.caption, kStop);
    EXPECT_EQ(panel.caption_sets, caption_sets);

    // The worker finishes its cycle; the button then reads Random.
    desktop->ReleaseAll();
    ASSERT_TRUE(Pump([&] { return Ended(worker); }));
    EXPECT_EQ(panel.caption, kRandom);
    EXPECT_EQ(desktop->Placements().size(), 2u);
}

TEST_F(JumpControlTest, NoSelectionIsRefused) {
    const auto seed = jumper::RandSeed.load();
    panel.selected = -1;
    EXPECT_EQ(ErrorOfClick(), L"Choose a window from the list first.");
    EXPECT_FALSE(control->Worker());
    EXPECT_EQ(control->ActiveWindow(), 0u);
    EXPECT_EQ(jumper::RandSeed.load(), seed);
    EXPECT_EQ(panel.caption, kRandom);
}

// With several bad fields the error names the first of Max Width, Min Width, Max Height,
// Min Height; and a failing request starts nothing. A bad height field comes after the
// width's draw.
TEST_F(JumpControlTest, FieldErrorsInTheirOrderAndNothingStarts) {
    const std::map<SizeField, std::wstring> bad = {{SizeField::MaxWidth, L"mw"},
                                                   {SizeField::MinWidth, L"nw"},
                                                   {SizeField::MaxHeight, L"mh"},
                                                   {SizeField::MinHeight, L""}};
    const struct {
        std::vector<SizeField> failing;
        SizeField named;
    } cases[] = {
        {{SizeField::MaxWidth, SizeField::MinWidth, SizeField::MaxHeight, SizeField::MinHeight},
         SizeField::MaxWidth},
        {{SizeField::MinWidth, SizeField::MaxHeight, SizeField::MinHeight}, SizeField::MinWidth},
        {{SizeField::MaxHeight, SizeField::MinHeight}, SizeField::MaxHeight},
        {{SizeField::MinHeight}, SizeField::MinHeight},
        {{SizeField::MinWidth, SizeField::MinHeight}, SizeField::MinWidth},
        {{SizeField::MaxWidth, SizeField::MaxHeight}, SizeField::MaxWidth},
        {{SizeField::MinHeight, SizeField::MinWidth}, SizeField::MinWidth},
    };
    panel.selected = kAlphaIndex;
    for (const auto& [failing, named] : cases) {
        SCOPED_TRACE(fakes::Name(named));
        panel.fields = fakes::FakePanel().fields;
        for (const SizeField field : failing) panel.fields[field] = bad.at(field);
        fakes::Lcg model{jumper::RandSeed.load()};
        if (named == SizeField::MaxHeight || named == SizeField::MinHeight) model.Range(100, 300);
        EXPECT_EQ(ConvertErrorOfClick(), L"''" + bad.at(named) + L"'' is not a valid integer value");
        EXPECT_FALSE(control->Worker());
        EXPECT_EQ(jumper::RandSeed.load(), model.state);
    }
    for (int i = 0; i < 50; ++i) ASSERT_NE(ConvertErrorOfClick(), L"(no error)");
    EXPECT_FALSE(control->Worker());
    EXPECT_TRUE(desktop->WorkerThreads().empty());

    // Mended fields start one worker.
    panel.fields = fakes::FakePanel().fields;
    Click();
    ASSERT_TRUE(PumpUntilPlacements(1));
    EXPECT_EQ(desktop->WorkerThreads().size(), 1u);
}

TEST_F(JumpControlTest, FailedRequestLeavesTheRunningWorkerAlone) {
    desktop->HoldSleeps();
    panel.selected = kAlphaIndex;
    panel.caption = kRandom;
    Click();
    const auto* const worker = Current();
    // Caught after its first placement, before its first refresh: the button still reads Random.
    ASSERT_TRUE(PumpUntilPlacements(1));
    ASSERT_EQ(panel.caption, kRandom);
    fakes::Lcg model{jumper::RandSeed.load()};
    model.Range(100, 300);  // the width, drawn before the bad height field is read
    const auto width = worker->wdth.load();
    const auto height = worker->hght.load();

    panel.selected = kBetaIndex;
    panel.fields[SizeField::MaxHeight] = L"zz";
    EXPECT_EQ(ConvertErrorOfClick(), L"''zz'' is not a valid integer value");
    panel.fields[SizeField::MaxHeight] = L"300";
    panel.selected = -1;
    EXPECT_EQ(ErrorOfClick(), L"Choose a window from the list first.");

    EXPECT_EQ(Current(), worker);
    EXPECT_TRUE(worker->runningthread);
    EXPECT_EQ(worker->activewindow.load(), kAlpha);
    EXPECT_EQ(worker->wdth.load(), width);
    EXPECT_EQ(worker->hght.load(), height);
    EXPECT_EQ(jumper::RandSeed.load(), model.state);

    // A worker whose thread the system refuses does not replace the current one.
    control->Worker()->runningthread = false;
    ui_thread->refuse_threads = L"Not enough memory resources are available.";
    panel.selected = kBetaIndex;
    EXPECT_EQ(ErrorOfClick(), L"Thread creation error: Not enough memory resources are available.");
    EXPECT_EQ(Current(), worker);
    ui_thread->refuse_threads.clear();
}

TEST_F(JumpControlTest, SecondStartRetargetsTheRunningWorker) {
    desktop->HoldSleeps();
    panel.selected = kAlphaIndex;
    Click();
    const auto* const worker = Current();
    ASSERT_TRUE(PumpUntilPlacements(1));  // the first refresh is not yet run
    ASSERT_EQ(panel.caption, kRandom);

    panel.selected = kBetaIndex;
    for (const auto field : {SizeField::MinWidth, SizeField::MaxWidth}) panel.fields[field] = L"77";
    for (const auto field : {SizeField::MinHeight, SizeField::MaxHeight}) panel.fields[field] = L"$58";
    Click();
    EXPECT_EQ(Current(), worker);
    EXPECT_EQ(worker->activewindow.load(), kBeta);
    EXPECT_EQ(control->ActiveWindow(), kBeta);
    EXPECT_EQ(worker->wdth.load(), 77u);
    EXPECT_EQ(worker->hght.load(), 88u);

    ASSERT_TRUE(PumpUntilSleeps(1));
    EXPECT_EQ(panel.caption, kStop);
    desktop->ReleaseSleeps(1);
    ASSERT_TRUE(PumpUntilPlacements(2));
    const auto placements = desktop->Placements();
    EXPECT_EQ(placements[0].window, kAlpha);
    EXPECT_EQ(placements[1].window, kBeta);
    EXPECT_EQ(placements[1].width, 77);
    EXPECT_EQ(placements[1].height, 88);
    EXPECT_EQ(desktop->WorkerThreads().size(), 1u);
}

// An entry chosen after its window has gone and its handle has come back for someone else's
// window: the worker runs, and moves nothing.
TEST_F(JumpControlTest, EntryWhoseHandleNowNamesAnotherWindowMovesNothing) {
    desktop->ReuseHandle(kAlpha, {12, 34});
    desktop->HoldSleeps();
    panel.selected = kAlphaIndex;
    Click();
    ASSERT_TRUE(PumpUntilSleeps(1));
    EXPECT_EQ(panel.caption, kStop);
    EXPECT_TRUE(desktop->Placements().empty());
    EXPECT_TRUE(world->Events({"show"}).empty());
}

TEST_F(JumpControlTest, HandleAbove31BitsIsTargeted) {
    panel.selected = kHighIndex;
    Click();
    ASSERT_TRUE(control->Worker());
    EXPECT_EQ(control->ActiveWindow(), kHigh);
    ASSERT_TRUE(PumpUntilPlacements(1));
    EXPECT_EQ(desktop->Placements()[0].window, kHigh);
}

// A stop during a placement, or at any other moment, leaves "Stop" to the worker's next
// refresh, so a second press (a double-click's) only stops again.
TEST_F(JumpControlTest, StopKeepsStopUntilTheWorkersRefresh) {
    const auto* const worker = StartHeldInFirstPause();
    ASSERT_TRUE(worker);
    desktop->Freeze();
    desktop->ReleaseSleeps(1);
    ASSERT_TRUE(Pump([&] { return desktop->FrozenWaiters() == 1; }));  // inside the hide

    Click();  // Stop
    EXPECT_FALSE(worker->runningthread);
    EXPECT_EQ(panel.caption, kStop);
    Click();  // and at once again
    EXPECT_EQ(panel.caption, kStop);
    EXPECT_EQ(workers.size(), 1u);

    desktop->ReleaseAll();
    ASSERT_TRUE(Pump([&] { return Ended(worker); }));
    EXPECT_EQ(panel.caption, kRandom);
    EXPECT_EQ(desktop->Placements().size(), 2u);
}

// A start that comes before the new worker's body has done anything finds it running.
TEST_F(JumpControlTest, StartRightAfterResumeKeepsOneWorker) {
    desktop->Freeze();
    panel.selected = kAlphaIndex;
    Click();
    const auto* const worker = Current();
    ASSERT_TRUE(worker);
    EXPECT_TRUE(worker->runningthread);
    panel.selected = kBetaIndex;
    for (const auto field : {SizeField::MinWidth, SizeField::MaxWidth}) panel.fields[field] = L"77";
    for (const auto field : {SizeField::MinHeight, SizeField::MaxHeight}) panel.fields[field] = L"88";
    Click();
    EXPECT_EQ(Current(), worker);
    EXPECT_EQ(worker->activewindow.load(), kBeta);
    EXPECT_EQ(workers.size(), 1u);

    desktop->Thaw();
    ASSERT_TRUE(PumpUntilPlacements(2));
    const auto placements = desktop->Placements();
    EXPECT_EQ(placements[0].width, 77);  // the size is taken when the call is made
    EXPECT_EQ(placements[0].height, 88);
    EXPECT_EQ(placements[1].window, kBeta);
    EXPECT_EQ(desktop->WorkerThreads().size(), 1u);
}

// A stop in the same moment reaches the worker: it ends within its cycle.
TEST_F(JumpControlTest, StopRightAfterResumeIsNotLost) {
    desktop->Freeze();
    panel.selected = kAlphaIndex;
    Click();
    const auto* const worker = Current();
    ASSERT_TRUE(worker);
    panel.caption = kStop;
    Click();
    EXPECT_FALSE(worker->runningthread);
    desktop->Thaw();
    ASSERT_TRUE(Pump([&] { return Ended(worker); }));  // pauses are not held: a lost stop loops on
    EXPECT_LE(desktop->Placements().size(), 2u);
    EXPECT_EQ(panel.caption, kRandom);
    EXPECT_EQ(Current(), worker);
}

// After a stop the next start makes a new worker while the old one finishes; only the new
// one sets the caption.
TEST_F(JumpControlTest, OnlyTheCurrentWorkerSetsTheCaption) {
    const auto* const old_worker = StartHeldInFirstPause();
    ASSERT_TRUE(old_worker);
    Click();  // stop
    desktop->ReleaseSleeps(1);
    ASSERT_TRUE(PumpUntilSleeps(2));  // the old worker's second half-cycle has reported
    ASSERT_EQ(panel.caption, kRandom);
    ASSERT_FALSE(Ended(old_worker));

    panel.selected = kBetaIndex;
    Click();
    const auto* const new_worker = Current();
    ASSERT_NE(new_worker, old_worker);
    ASSERT_TRUE(PumpUntilSleeps(3));  // the new worker's first refresh
    ASSERT_EQ(panel.caption, kStop);

    desktop->ReleaseSleeps(1);  // only the old worker's pause
    ASSERT_TRUE(Pump([&] { return Ended(old_worker); }));
    EXPECT_EQ(panel.caption, kStop);
    EXPECT_TRUE(new_worker->runningthread);
    EXPECT_EQ(desktop->SleepsEntered(), 3u);
    EXPECT_EQ(desktop->WorkerThreads().size(), 2u);
}

TEST_F(JumpControlTest, WorkerEndedByABadFieldTurnsTheCaptionBack) {
    const auto* const worker = StartHeldInFirstPause();
    ASSERT_TRUE(worker);
    panel.fields[SizeField::MinHeight] = L"?";  // every later refresh fails
    desktop->ReleaseAll();
    ASSERT_TRUE(Pump([&] { return Ended(worker); }));
    EXPECT_EQ(panel.caption, kRandom);
    EXPECT_FALSE(worker->runningthread);

    // And a new start is possible.
    panel.fields[SizeField::MinHeight] = L"100";
    Click();
    EXPECT_NE(Current(), worker);
    ASSERT_TRUE(PumpUntilSleeps(2));
    EXPECT_EQ(panel.caption, kStop);

    // So it is after an error that is not the program's own.
    const auto* const failed = Current();
    desktop->FailPauses();
    desktop->ReleaseAll();
    ASSERT_TRUE(Pump([&] { return Ended(failed); }));
    EXPECT_FALSE(failed->runningthread);
    EXPECT_EQ(panel.caption, kRandom);
    Click();
    EXPECT_NE(Current(), failed);
    ASSERT_TRUE(Pump([&] { return Ended(Current()); }));
}

}  // namespace
