#include "app/ui_call_gate.h"

#include <gtest/gtest.h>

#include <QTest>
#include <atomic>
#include <future>
#include <thread>

namespace valmeric::app {
namespace {

TEST(UiCallGateTest, RunsTheCallOnTheGateThreadAndWaitsForIt) {
  UiCallGate gate;
  std::atomic<bool> ran_on_gate_thread{false};
  const auto gate_thread = std::this_thread::get_id();
  auto caller = std::async(std::launch::async, [&] {
    gate.Call([&] { ran_on_gate_thread = std::this_thread::get_id() == gate_thread; });
    return true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return caller.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
  EXPECT_TRUE(caller.get());
  EXPECT_TRUE(ran_on_gate_thread);
}

TEST(UiCallGateTest, AnExceptionIsThrownAgainInTheCaller) {
  UiCallGate gate;
  auto caller = std::async(std::launch::async, [&] {
    try {
      gate.Call([] { throw std::runtime_error("query failed"); });
    } catch (const std::runtime_error& error) {
      return std::string(error.what());
    }
    return std::string("no exception");
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return caller.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
  EXPECT_EQ(caller.get(), "query failed");
}

TEST(UiCallGateTest, ACallFromTheGateThreadRunsAtOnce) {
  UiCallGate gate;
  int calls = 0;
  gate.Call([&] { ++calls; });
  EXPECT_EQ(calls, 1);
}

TEST(UiCallGateTest, ClosingFailsWaitingAndLaterCallersWithoutRunningThem) {
  UiCallGate gate;
  std::atomic<int> ran{0};
  auto waiting = std::async(std::launch::async, [&] {
    try {
      gate.Call([&] { ++ran; });
    } catch (const GateClosed&) {
      return true;
    }
    return false;
  });
  // No event loop runs here, so the call cannot have started.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  gate.Close();
  EXPECT_TRUE(waiting.get());
  auto later = std::async(std::launch::async, [&] {
    try {
      gate.Call([&] { ++ran; });
    } catch (const GateClosed&) {
      return true;
    }
    return false;
  });
  EXPECT_TRUE(later.get());
  QTest::qWait(20);
  EXPECT_EQ(ran, 0);
}

TEST(UiCallGateTest, ACallWaitingWhileAnotherRunsANestedLoopIsServed) {
  UiCallGate gate;
  std::atomic<bool> second_done{false};
  std::promise<void> first_started;
  std::future<void> first_started_seen = first_started.get_future();
  auto first = std::async(std::launch::async, [&] {
    gate.Call([&] {
      first_started.set_value();
      // A message box would spin a nested loop like this one.
      (void)QTest::qWaitFor([&] { return second_done.load(); }, 10000);
    });
  });
  auto second = std::async(std::launch::async, [&] {
    first_started_seen.wait();
    gate.Call([] {});
    second_done = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return first.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 15000));
  EXPECT_TRUE(second_done);
  second.get();
  first.get();
}

}  // namespace
}  // namespace valmeric::app
