#include "platform/sound_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "process/files.h"

namespace platform {
namespace {

constexpr int kChannels = 2;
constexpr int kIoBuffer = 64 * 1024;

// libavformat reads the file through the descriptor we opened (a regular
// file, checked), never by its name.
int read_fd(void* opaque, std::uint8_t* buffer, int size) {
  const ssize_t n = ::read(*static_cast<int*>(opaque), buffer, static_cast<std::size_t>(size));
  if (n < 0) return AVERROR(errno);
  return n == 0 ? AVERROR_EOF : static_cast<int>(n);
}

std::int64_t seek_fd(void* opaque, std::int64_t offset, int whence) {
  const int fd = *static_cast<int*>(opaque);
  if (whence == AVSEEK_SIZE) {
    struct stat st {};
    return fstat(fd, &st) == 0 ? st.st_size : -1;
  }
  return lseek(fd, offset, whence & ~AVSEEK_FORCE);
}

std::string av_message(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

struct Decoding {
  int fd = -1;
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwrContext* resampler = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;

  ~Decoding() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    swr_free(&resampler);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    if (io) av_freep(&io->buffer);
    avio_context_free(&io);
    if (fd >= 0) ::close(fd);
  }
};

// Appends a decoded frame, converted to interleaved stereo floats.
bool append(Decoding& d, Sound* sound) {
  const int out_frames = swr_get_out_samples(d.resampler, d.frame->nb_samples);
  const std::size_t before = sound->samples.size();
  sound->samples.resize(before + static_cast<std::size_t>(out_frames) * kChannels);
  auto* out = reinterpret_cast<std::uint8_t*>(sound->samples.data() + before);
  const int got = swr_convert(d.resampler, &out, out_frames, const_cast<const std::uint8_t**>(d.frame->extended_data),
                              d.frame->nb_samples);
  if (got < 0) return false;
  sound->samples.resize(before + static_cast<std::size_t>(got) * kChannels);
  return true;
}

}  // namespace

bool decode_sound_file(const std::string& path, Sound* sound, std::string* error) {
  av_log_set_level(AV_LOG_QUIET);  // failures are reported in our own words
  Decoding d;
  std::string why;
  auto fail = [&](const std::string& reason) {
    if (error) *error = reason;
    return false;
  };
  d.fd = open_regular_file(path, &why);
  if (d.fd < 0) return fail(why);

  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBuffer));
  d.io = avio_alloc_context(buffer, kIoBuffer, 0, &d.fd, read_fd, nullptr, seek_fd);
  d.format = avformat_alloc_context();
  if (!d.io || !d.format) return fail("out of memory");
  d.format->pb = d.io;
  if (const int r = avformat_open_input(&d.format, nullptr, nullptr, nullptr); r < 0) {
    d.format = nullptr;  // freed by the failed open
    return fail(av_message(r));
  }
  if (const int r = avformat_find_stream_info(d.format, nullptr); r < 0) return fail(av_message(r));
  const AVCodec* decoder = nullptr;
  const int stream = av_find_best_stream(d.format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (stream < 0 || !decoder) return fail("no audio in it");
  d.codec = avcodec_alloc_context3(decoder);
  if (!d.codec) return fail("out of memory");
  avcodec_parameters_to_context(d.codec, d.format->streams[stream]->codecpar);
  if (const int r = avcodec_open2(d.codec, decoder, nullptr); r < 0) return fail(av_message(r));

  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  if (swr_alloc_set_opts2(&d.resampler, &stereo, AV_SAMPLE_FMT_FLT, d.codec->sample_rate, &d.codec->ch_layout,
                          d.codec->sample_fmt, d.codec->sample_rate, 0, nullptr) < 0 ||
      swr_init(d.resampler) < 0) {
    return fail("cannot convert its samples");
  }
  sound->rate = d.codec->sample_rate;
  sound->channels = kChannels;
  sound->samples.clear();
  if (d.format->duration > 0) {
    sound->samples.reserve(static_cast<std::size_t>(d.format->duration * sound->rate / AV_TIME_BASE + sound->rate) *
                           kChannels);
  }

  d.packet = av_packet_alloc();
  d.frame = av_frame_alloc();
  if (!d.packet || !d.frame) return fail("out of memory");
  bool draining = false;
  while (true) {
    if (!draining) {
      const int r = av_read_frame(d.format, d.packet);
      if (r == AVERROR_EOF) {
        draining = true;
        avcodec_send_packet(d.codec, nullptr);
      } else if (r < 0) {
        return fail(av_message(r));
      } else {
        if (d.packet->stream_index == stream) avcodec_send_packet(d.codec, d.packet);  // a bad packet is skipped
        av_packet_unref(d.packet);
      }
    }
    int r;
    while ((r = avcodec_receive_frame(d.codec, d.frame)) == 0) {
      if (!append(d, sound)) return fail("cannot convert its samples");
      av_frame_unref(d.frame);
    }
    if (r == AVERROR_EOF) break;
  }
  if (sound->samples.empty()) return fail("no audio in it");
  return true;
}

}  // namespace platform
