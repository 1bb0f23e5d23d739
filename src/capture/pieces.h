#pragma once
// A capture drawn by several processes. The span is cut into contiguous
// pieces on its frame grid; this process draws the first, and a copy of the
// program started for each other piece draws that one, starting through the
// hand-off as any capture does, so every frame is the one a single run
// draws. A helper leaves a video's encoded pictures in a file without a name
// it inherits (numbered pictures it writes in place), and the first process
// joins the pieces in order once its own is done.
#include <sys/types.h>

#include <string>
#include <vector>

struct Piece {
  long first = 0;   // frame number in the span
  long frames = 0;
  pid_t pid = -1;   // the helper drawing it; -1 for this process's own
  int fd = -1;      // where a video's helper leaves its encoded pictures
};

class PieceHelpers {
 public:
  PieceHelpers() = default;
  ~PieceHelpers();  // stops and waits for any helper still running
  PieceHelpers(const PieceHelpers&) = delete;
  PieceHelpers& operator=(const PieceHelpers&) = delete;

  // Cuts `frames` into `jobs` pieces and starts a helper for each but the
  // first: the program's `command` (a capture's arguments, without the
  // program) with --piece FIRST:FRAMES:PID added, and for videos --piece-fd
  // and a scratch file beside `output`. Helpers write nothing to standard
  // output. False with *error set.
  bool start(const std::vector<std::string>& command, long frames, int jobs, bool video, const std::string& output,
             std::string* error);

  // The pieces, this process's own first.
  const std::vector<Piece>& pieces() const { return pieces_; }

  // Waits for piece i's helper. 0 when it drew its piece; otherwise the
  // status the capture ends with (the helper said why, or one line here
  // does). A stop signal ends the wait: stop_signal() then says so.
  int wait(std::size_t i);
  // Asks every helper still running to stop, and waits for them.
  void stop();

 private:
  std::vector<Piece> pieces_;
};

// How many processes a capture draws in when not told (--jobs). Drawing on
// the processor, each process keeps about two cores busy (the show with the
// GL driver's threads, and the encoder), so half the cores; on two cores
// that is one, and a second process was measured to gain nothing there. On
// a GPU, one: more were never measured to help.
int default_capture_jobs(bool software_renderer);

// A piece as --piece gives it: "FIRST:FRAMES:PID". False when malformed.
bool parse_piece(const std::string& text, long* first, long* frames, pid_t* parent);
