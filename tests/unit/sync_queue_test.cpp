#include "engine/sync_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace valmeric {
namespace {

TEST(SyncQueue, RunsCallsOnThePumpingThreadAndRethrowsTheirErrors) {
  SyncQueue queue;
  const auto pump_thread = std::this_thread::get_id();
  std::atomic<bool> done{false};
  std::thread::id ran_on;
  std::string caught;
  std::thread caller([&] {
    queue.Call([&] { ran_on = std::this_thread::get_id(); });
    try {
      queue.Call([] { throw std::runtime_error("from the owner"); });
    } catch (const std::runtime_error& error) {
      caught = error.what();
    }
    done = true;
  });
  while (!done) queue.Pump(std::chrono::milliseconds(10));
  caller.join();
  EXPECT_EQ(ran_on, pump_thread);
  EXPECT_EQ(caught, "from the owner");
}

TEST(SyncQueue, PumpReturnsAfterItsTimeoutWhenNothingWaits) {
  SyncQueue queue;
  EXPECT_EQ(queue.Pump(std::chrono::milliseconds(1)), 0u);
}

}  // namespace
}  // namespace valmeric
