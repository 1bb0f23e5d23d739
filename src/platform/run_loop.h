#pragma once
// The main run loop and its timers. One thread: each turn of the loop fires at
// most one due timer, and window events are handled between turns, so a
// presented frame reaches the screen before the next call-back runs. Between
// deadlines the loop sleeps (or waits for window events); it never spins.
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

class NSTimer;

class NSRunLoop {
 public:
  // What the loop waits on between deadlines: window events, or nothing.
  class EventSource {
   public:
    virtual ~EventSource() = default;
    // Handles every pending event without waiting.
    virtual void pollEvents() = 0;
    // Handles events until one arrives or the deadline passes (-1: no deadline).
    virtual void waitEvents(std::int64_t deadline_ns) = 0;
  };

  static NSRunLoop& mainRunLoop();

  void setEventSource(EventSource* source) { events_ = source; }

  // Called at the end of every turn, the browser's included: what must keep
  // up with the timers without being one (the page's music). The layer above
  // installs it; none by default.
  void setAfterTurn(std::function<void()> hook) { afterTurn_ = std::move(hook); }

  // Runs turns until stop(); returns the status given to stop(). Returns 0 at
  // once when no timer is scheduled and there is no event source to wait on.
  int run();
  // One turn: handles events, waits for the earliest deadline and fires that
  // timer. False when nothing is scheduled.
  bool runOnce();
  // Runs turns until `done` holds (checked after every turn) or the loop is
  // stopped or empty. True when `done` held.
  bool runUntil(const std::function<bool()>& done);

  // The browser's turns: a page cannot wait in a loop of its own, so each of
  // its animation frames fires, in deadline order, every timer that was
  // already scheduled when the call began and falls due by `horizon_ns`, each
  // at most once. A timer armed during one frame fires in a later one, so
  // what a call-back presents reaches the screen before the next step runs,
  // as with the desktop's turns. Returns how many fired. Either kind of turn
  // ends with the after-turn hook.
  int fireDue(std::int64_t horizon_ns);

  void stop(int status);
  bool stopped() const { return stopped_; }
  int status() const { return status_; }

  // Test support: drops every timer and the after-turn hook, and clears the
  // stop flag.
  void reset();

  size_t timerCount() const;

 private:
  friend class NSTimer;
  NSTimer* add(std::unique_ptr<NSTimer> timer);
  bool turn();
  NSTimer* earliest() const;
  void purge();

  std::vector<std::unique_ptr<NSTimer>> timers_;
  EventSource* events_ = nullptr;
  std::function<void()> afterTurn_;
  std::uint64_t nextSequence_ = 0;
  bool stopped_ = false;
  int status_ = 0;
};

class NSTimer {
 public:
  // Schedules `action` on the main run loop `seconds` from now, once or
  // repeating with that period. The run loop owns the timer; the pointer stays
  // usable until the timer is invalidated and the loop has moved on.
  static NSTimer* scheduledTimerWithTimeInterval(double seconds, std::function<void()> action, bool repeats);

  // Stops the timer for good.
  void invalidate() { valid_ = false; }
  bool isValid() const { return valid_; }
  double timeInterval() const { return interval_; }

 private:
  friend class NSRunLoop;
  NSTimer() = default;
  void fire();

  std::function<void()> action_;
  double interval_ = 0;
  bool repeats_ = false;
  bool valid_ = true;
  std::int64_t start_ = 0;     // when it was scheduled
  std::int64_t fired_ = 0;     // periods elapsed, for a repeating timer's grid
  std::int64_t deadline_ = 0;  // next firing, monotonic ns
  std::uint64_t sequence_ = 0;
};

}  // namespace platform
