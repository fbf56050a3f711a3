#include "faults.h"

#include "hash.h"

namespace valmeric::sitesim {

FaultDecision FaultInjector::Decide(std::uint64_t request) const {
  auto roll = [&](std::string_view what) {
    return Unit(Hash({options_.seed, Tag("fault"), Tag(what), request}));
  };
  FaultDecision d;
  if (options_.fail_rate > 0 && roll("fail") < options_.fail_rate && !options_.fail_codes.empty()) {
    d.kind = FaultKind::kFail;
    auto n = options_.fail_codes.size();
    d.status = options_.fail_codes[Hash({options_.seed, Tag("fail-code"), request}) % n];
  } else if (options_.redirect_loop_rate > 0 && roll("loop") < options_.redirect_loop_rate) {
    d.kind = FaultKind::kRedirectLoop;
  } else if (options_.drop_rate > 0 && roll("drop") < options_.drop_rate) {
    d.kind = FaultKind::kDrop;
  } else if (options_.stall_rate > 0 && roll("stall") < options_.stall_rate) {
    d.kind = FaultKind::kStall;
  } else if (options_.gzip_cut_rate > 0 && roll("gzip-cut") < options_.gzip_cut_rate) {
    d.kind = FaultKind::kGzipCut;
  }
  return d;
}

}  // namespace valmeric::sitesim
