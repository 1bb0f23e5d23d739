#pragma once
// A numbered picture sequence for editors and compositing: one PNG per frame
// (frames/00000.png, frames/00001.png, ...), each written whole as a still
// is, and the sound beside them as a WAV (frames/sound.wav): 24-bit PCM at
// the soundtrack's own rate. The folder is made when it is not there. An
// unfinished sequence is removed, the pictures it wrote and the folder it made.
#include <optional>
#include <string>
#include <vector>

#include "capture/frame_writer.h"

// A name with one number in it: "frames/%05d.png" ("%d", or "%0Nd" with N up
// to 9, in the file's own name, which ends in .png).
struct PicturePattern {
  std::string folder;  // "frames", or "." for none
  std::string before;  // the name up to the number
  std::string after;   // ".png"
  int digits = 0;      // at least this many, zeros in front

  static std::optional<PicturePattern> parse(const std::string& path);
  std::string name(long number) const;
  std::string sound() const { return folder + "/sound.wav"; }
};

class PictureSequence final : public FrameWriter {
 public:
  ~PictureSequence() override;

  bool open(const std::string& path, const VideoSettings& settings) override;
  bool addFrame(const std::uint8_t* rgba) override;
  bool finish() override;
  void abandon() override;
  // Takes the next `frames` pictures, written by another process, as this
  // sequence's own (the descriptor is unused).
  bool append(int fd, long frames) override;

 private:
  bool fail(const std::string& reason);
  bool writeSound();

  PicturePattern pattern_;
  VideoSettings settings_;
  long next_ = 0;
  std::vector<std::string> written_;
  bool madeFolder_ = false;
  bool open_ = false;
};
