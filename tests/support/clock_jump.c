/* Preloaded into the program by a test: the system's date jumps forward by
   VELMORA_CLOCK_JUMP seconds once the process has run for
   VELMORA_CLOCK_JUMP_AFTER seconds, as when someone sets the clock while the
   show plays. The monotonic clock is left alone. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <time.h>

static int (*real_clock_gettime)(clockid_t, struct timespec*);
static struct timespec started;

static void set_up(void) {
  if (real_clock_gettime) return;
  void* symbol = dlsym(RTLD_NEXT, "clock_gettime");
  memcpy(&real_clock_gettime, &symbol, sizeof symbol);
  real_clock_gettime(CLOCK_MONOTONIC, &started);
}

static long jump_now(void) {
  struct timespec now;
  const char* after = getenv("VELMORA_CLOCK_JUMP_AFTER");
  const char* jump = getenv("VELMORA_CLOCK_JUMP");
  real_clock_gettime(CLOCK_MONOTONIC, &now);
  if (!after || !jump || now.tv_sec - started.tv_sec < atol(after)) return 0;
  return atol(jump);
}

int clock_gettime(clockid_t id, struct timespec* ts) {
  set_up();
  const int r = real_clock_gettime(id, ts);
  if (r == 0 && (id == CLOCK_REALTIME || id == CLOCK_REALTIME_COARSE)) ts->tv_sec += jump_now();
  return r;
}

int gettimeofday(struct timeval* tv, void* tz) {
  struct timespec ts;
  (void)tz;
  clock_gettime(CLOCK_REALTIME, &ts);
  tv->tv_sec = ts.tv_sec;
  tv->tv_usec = ts.tv_nsec / 1000;
  return 0;
}
