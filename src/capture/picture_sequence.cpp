#include "capture/picture_sequence.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "capture/pcm.h"
#include "platform/png.h"
#include "process/files.h"

namespace {
using Clock = std::chrono::steady_clock;

void put16(std::vector<std::uint8_t>* out, unsigned v) {
  out->push_back(static_cast<std::uint8_t>(v));
  out->push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>* out, std::uint32_t v) {
  put16(out, v & 0xffff);
  put16(out, v >> 16);
}
}  // namespace

std::optional<PicturePattern> PicturePattern::parse(const std::string& path) {
  PicturePattern p;
  const auto slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  p.folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const auto percent = base.find('%');
  if (percent == std::string::npos || base.find('%', percent + 1) != std::string::npos) return std::nullopt;
  std::size_t i = percent + 1;
  if (i < base.size() && base[i] == '0') {
    ++i;
    if (i >= base.size() || base[i] < '1' || base[i] > '9') return std::nullopt;
    p.digits = base[i++] - '0';
  }
  if (i >= base.size() || base[i] != 'd') return std::nullopt;
  p.before = (slash == std::string::npos ? std::string() : p.folder + "/") + base.substr(0, percent);
  p.after = base.substr(i + 1);
  if (p.after.size() < 4 || p.after.compare(p.after.size() - 4, 4, ".png") != 0) return std::nullopt;
  return p;
}

std::string PicturePattern::name(long number) const {
  char text[32];
  std::snprintf(text, sizeof text, "%0*ld", digits, number);
  return before + text + after;
}

PictureSequence::~PictureSequence() { abandon(); }

bool PictureSequence::fail(const std::string& reason) {
  error_ = reason;
  abandon();
  return false;
}

void PictureSequence::abandon() {
  if (!open_) return;
  open_ = false;
  for (const std::string& name : written_) ::unlink(name.c_str());
  written_.clear();
  if (madeFolder_) ::rmdir(pattern_.folder.c_str());
  madeFolder_ = false;
}

bool PictureSequence::open(const std::string& path, const VideoSettings& settings) {
  abandon();
  const auto pattern = PicturePattern::parse(path);
  if (!pattern) {
    error_ = path + ": not a numbered picture name (like frames/%05d.png)";
    return false;
  }
  pattern_ = *pattern;
  settings_ = settings;
  next_ = settings.firstNumber;
  madeFolder_ = false;
  struct stat st {};
  if (stat(pattern_.folder.c_str(), &st) != 0) {
    // The folder itself, not the ones above it: a mistyped path still fails.
    if (::mkdir(pattern_.folder.c_str(), 0777) != 0) {
      error_ = pattern_.folder + ": " + std::strerror(errno);
      return false;
    }
    madeFolder_ = true;
  } else if (!S_ISDIR(st.st_mode)) {
    error_ = pattern_.folder + ": not a folder";
    return false;
  }
  open_ = true;
  return true;
}

bool PictureSequence::addFrame(const std::uint8_t* rgba) {
  if (!open_) return false;
  const auto t0 = Clock::now();
  const std::string name = pattern_.name(next_++);
  std::string why;
  if (!platform::writePng(name, settings_.width, settings_.height, rgba, &why)) return fail(why);
  written_.push_back(name);
  encoding_ += seconds_since(t0);
  return true;
}

bool PictureSequence::append(int, long frames) {
  if (!open_) return false;
  for (long k = 0; k < frames; ++k) written_.push_back(pattern_.name(next_++));
  return true;
}

bool PictureSequence::writeSound() {
  const platform::Sound& track = *settings_.sound;
  const long frames = next_ - settings_.firstNumber;
  const auto count = static_cast<std::size_t>((static_cast<long long>(frames) * track.rate + settings_.fps / 2) /
                                              settings_.fps);
  std::vector<std::uint8_t> wav;
  const auto data_bytes = static_cast<std::uint32_t>(count * 2 * 3);
  wav.reserve(44 + data_bytes);
  for (char c : std::string("RIFF")) wav.push_back(static_cast<std::uint8_t>(c));
  put32(&wav, 36 + data_bytes);
  for (char c : std::string("WAVEfmt ")) wav.push_back(static_cast<std::uint8_t>(c));
  put32(&wav, 16);
  put16(&wav, 1);  // integer PCM
  put16(&wav, 2);
  put32(&wav, static_cast<std::uint32_t>(track.rate));
  put32(&wav, static_cast<std::uint32_t>(track.rate) * 6);
  put16(&wav, 6);
  put16(&wav, 24);
  for (char c : std::string("data")) wav.push_back(static_cast<std::uint8_t>(c));
  put32(&wav, data_bytes);
  for (std::size_t i = 0; i < count * 2; ++i) {
    const std::size_t at = settings_.soundFirstFrame * 2 + i;
    const std::int32_t v = at < track.samples.size() ? pcm24(track.samples[at]) : 0;
    wav.push_back(static_cast<std::uint8_t>(v));
    wav.push_back(static_cast<std::uint8_t>(v >> 8));
    wav.push_back(static_cast<std::uint8_t>(v >> 16));
  }
  std::string why;
  if (!platform::write_file(pattern_.sound(), wav, &why)) return fail(why);
  size_ += static_cast<std::int64_t>(wav.size());
  return true;
}

bool PictureSequence::finish() {
  if (!open_) return false;
  if (settings_.sound && !writeSound()) return false;
  for (const std::string& name : written_) {
    struct stat st {};
    if (stat(name.c_str(), &st) == 0) size_ += st.st_size;
  }
  written_.clear();
  open_ = false;
  return true;
}
