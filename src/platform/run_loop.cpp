#include "platform/run_loop.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "process/signals.h"

namespace platform {

NSRunLoop& NSRunLoop::mainRunLoop() {
  static NSRunLoop loop;
  return loop;
}

NSTimer* NSRunLoop::add(std::unique_ptr<NSTimer> timer) {
  timer->sequence_ = nextSequence_++;
  timers_.push_back(std::move(timer));
  return timers_.back().get();
}

NSTimer* NSRunLoop::earliest() const {
  NSTimer* best = nullptr;
  for (const auto& t : timers_) {
    if (!t->valid_) continue;
    if (!best || t->deadline_ < best->deadline_ ||
        (t->deadline_ == best->deadline_ && t->sequence_ < best->sequence_)) {
      best = t.get();
    }
  }
  return best;
}

void NSRunLoop::purge() {
  std::erase_if(timers_, [](const std::unique_ptr<NSTimer>& t) { return !t->valid_; });
}

size_t NSRunLoop::timerCount() const {
  return static_cast<size_t>(
      std::count_if(timers_.begin(), timers_.end(), [](const auto& t) { return t->valid_; }));
}

bool NSRunLoop::runOnce() {
  const bool turned = turn();
  if (turned && afterTurn_) afterTurn_();
  return turned;
}

bool NSRunLoop::turn() {
  // However long nothing is due, the loop looks at least this often for a
  // stop signal.
  constexpr std::int64_t kLongestWait = 200'000'000;
  for (;;) {
    if (stop_signal() != 0) stop(stop_status());
    if (events_) events_->pollEvents();
    if (stopped_) return false;
    purge();
    NSTimer* next = earliest();
    if (!next) {
      if (!events_) return false;
      events_->waitEvents(monotonic_ns() + kLongestWait);
      return true;
    }
    const std::int64_t now = monotonic_ns();
    if (next->deadline_ > now) {
      const std::int64_t until = std::min(next->deadline_, now + kLongestWait);
      if (events_) {
        events_->waitEvents(until);
      } else {
        sleep_until(until);
      }
      continue;  // events or a signal may have changed things; look again
    }
    next->fire();
    return true;
  }
}

int NSRunLoop::run() {
  while (!stopped_ && runOnce()) {
  }
  return status_;
}

bool NSRunLoop::runUntil(const std::function<bool()>& done) {
  while (!stopped_) {
    if (done()) return true;
    if (!runOnce()) break;
  }
  return done();
}

int NSRunLoop::fireDue(std::int64_t horizon_ns) {
  purge();
  std::vector<NSTimer*> due;
  for (const auto& t : timers_) {
    if (t->valid_ && t->deadline_ <= horizon_ns) due.push_back(t.get());
  }
  std::sort(due.begin(), due.end(), [](const NSTimer* a, const NSTimer* b) {
    return a->deadline_ != b->deadline_ ? a->deadline_ < b->deadline_ : a->sequence_ < b->sequence_;
  });
  int fired = 0;
  for (NSTimer* t : due) {
    if (stopped_) break;
    if (!t->valid_) continue;  // invalidated by a call-back fired before it
    t->fire();
    ++fired;
  }
  if (afterTurn_) afterTurn_();
  return fired;
}

void NSRunLoop::stop(int status) {
  stopped_ = true;
  status_ = status;
}

void NSRunLoop::reset() {
  timers_.clear();
  afterTurn_ = nullptr;
  stopped_ = false;
  status_ = 0;
}

NSTimer* NSTimer::scheduledTimerWithTimeInterval(double seconds, std::function<void()> action, bool repeats) {
  std::unique_ptr<NSTimer> timer(new NSTimer());
  timer->action_ = std::move(action);
  timer->interval_ = seconds > 0 ? seconds : 0;
  timer->repeats_ = repeats;
  timer->start_ = monotonic_ns();
  timer->fired_ = 1;
  timer->deadline_ = timer->start_ + std::llround(timer->interval_ * 1e9);
  return NSRunLoop::mainRunLoop().add(std::move(timer));
}

void NSTimer::fire() {
  if (!repeats_ || interval_ <= 0) {
    valid_ = false;
    action_();
    return;
  }
  action_();
  // A repeating timer keeps to its period's grid: the next firing is the
  // first grid point after the call-back returns, so firings missed while it
  // ran long are skipped, not made up in a burst.
  const double period = interval_ * 1e9;
  const auto elapsed = static_cast<double>(monotonic_ns() - start_);
  fired_ = std::max(fired_ + 1, static_cast<std::int64_t>(std::floor(elapsed / period)) + 1);
  deadline_ = start_ + std::llround(static_cast<double>(fired_) * period);
}

}  // namespace platform
