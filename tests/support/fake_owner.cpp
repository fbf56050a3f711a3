#include "support/fake_owner.h"

#include <future>

namespace valmeric::test {

std::shared_ptr<RunSignals> FakeOwner::Run(RunConfig config) {
  worker = TMyThread::Create(*this, std::move(config));
  signals_of_run = worker->signals();
  worker->Resume();
  auto finished = std::async(std::launch::async, [w = worker] { w->WaitFor(); });
  while (finished.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
    queue_.Pump(std::chrono::milliseconds(5));
  }
  return signals_of_run;
}

}  // namespace valmeric::test
