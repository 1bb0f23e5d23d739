#pragma once
// Where a capture's frames end up: a video file, an animated picture or a
// numbered picture sequence. Each is a FrameWriter; the capture's frame sink
// hands it the pictures, one thread at a time, and never knows which it is.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sound_file.h"
#include "process/files.h"

struct VideoSettings {
  int width = 0;   // the picture as written, after orientation
  int height = 0;
  int fps = 60;
  int quality = -1;  // the encoder's own quality scale; -1 for the format's default
  // The soundtrack from the capture's first moment on, or null for none. It
  // must outlive the writer. Animated pictures have no sound and ignore it.
  const platform::Sound* sound = nullptr;
  std::size_t soundFirstFrame = 0;  // the sample frame of the capture's first moment
  // Videos: FFV1 pictures in RGB and FLAC sound, both exact.
  bool lossless = false;
  // Videos: the container by name ("mkv", "nut"), for an output whose name
  // says none (standard output).
  std::string container;
  // Picture sequences: the number of the first picture written. Videos
  // drawn in pieces: the first frame of this process's piece.
  long firstNumber = 0;
  // Videos: a piece of a capture drawn by several processes; its encoded
  // pictures go to this descriptor for the first process to join.
  int pieceFd = -1;
};

// Seconds since `t`, for the writers' own timings.
inline double seconds_since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// Whether `path` ends in `extension` (".gif"), in any case.
bool has_extension(const std::string& path, std::string_view extension);

class FrameWriter {
 public:
  virtual ~FrameWriter() = default;

  // Starts the output; false with error() set ("PATH: reason").
  virtual bool open(const std::string& path, const VideoSettings& settings) = 0;
  // Adds the next picture (RGBA, opaque, top row first, width x height) and
  // the sound that plays while it is shown.
  virtual bool addFrame(const std::uint8_t* rgba) = 0;
  // Completes the output and puts it in place.
  virtual bool finish() = 0;
  // Removes whatever was written.
  virtual void abandon() = 0;
  // A capture drawn by several processes: takes the next piece, `frames`
  // frames another process drew (for videos, the encoded pictures it left
  // in `fd`), after this process's own. False where it cannot be joined.
  virtual bool append(int fd, long frames) {
    (void)fd;
    (void)frames;
    return false;
  }

  const std::string& error() const { return error_; }
  // The finished output's size in bytes.
  std::int64_t size() const { return size_; }
  // Seconds spent converting pictures for the encoder, and encoding and writing.
  double conversionSeconds() const { return conversion_; }
  double encodingSeconds() const { return encoding_; }

 protected:
  std::string error_;
  std::int64_t size_ = 0;
  double conversion_ = 0;
  double encoding_ = 0;
};

// A writer of one file, or of standard output, through an OutputFile: its
// failures name that output, and finishing puts the file in place.
class OutputFileWriter : public FrameWriter {
 protected:
  // Drops any earlier output and starts writing `path`; false with error() set.
  bool openOutput(const std::string& path);
  // "OUTPUT: reason" in error(), and what was written abandoned; false.
  bool fail(const std::string& reason);
  // Puts the finished output in place, `bytes` long; false with error() set.
  bool commitOutput(std::int64_t bytes);

  platform::OutputFile out_;
  std::string name_;  // the output named in messages ("-": standard output)
};

// What the capture can write, by the output's name.
enum class OutputKind {
  Video,     // .mp4, .mov, .mkv, .webm, .nut, or standard output ("-")
  Gif,       // .gif: 256 colours made for the clip, dithered
  WebP,      // .webp: lossy, animated
  Pictures,  // a numbered name, frames/%05d.png: one PNG per frame
};

// The kind of output `path` names, or nothing.
std::optional<OutputKind> output_kind(const std::string& path);
// "… .gif, .webp or frames/%05d.png", for messages.
std::string accepted_outputs();
// A writer for `kind`.
std::unique_ptr<FrameWriter> make_frame_writer(OutputKind kind);
