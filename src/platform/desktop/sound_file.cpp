#include "platform/sound_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <new>

#include "platform/desktop/fd_avio.h"
#include "process/files.h"
#include "process/signals.h"

namespace platform {
namespace {

constexpr int kChannels = 2;
// A soundtrack of a few minutes is a few megabytes; a larger file is not
// read through in search of one.
constexpr off_t kMaxFileBytes = off_t{256} << 20;

struct Decoding {
  int fd = -1;
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwrContext* resampler = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  // What the resampler is set up for: the frames' own rate, format and layout.
  int inRate = 0;
  int inFormat = -1;
  AVChannelLayout inLayout{};
  double maxSeconds = 0;
  std::size_t maxFrames = 0;  // once the rate is known

  ~Decoding() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    swr_free(&resampler);
    av_channel_layout_uninit(&inLayout);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    free_fd_avio(&io);
    if (fd >= 0) ::close(fd);
  }
};

// Appends what the resampler gives for `count` input frames at `input` (null
// to drain it), up to the length allowed.
int convert(Decoding& d, Sound* sound, const std::uint8_t** input, int count) {
  const int room = swr_get_out_samples(d.resampler, count);
  if (room < 0) return room;
  if (room == 0) return 0;
  const std::size_t before = sound->samples.size();
  sound->samples.resize(before + static_cast<std::size_t>(room) * kChannels);
  auto* out = reinterpret_cast<std::uint8_t*>(sound->samples.data() + before);
  const int got = swr_convert(d.resampler, &out, room, input, count);
  sound->samples.resize(before + static_cast<std::size_t>(std::max(got, 0)) * kChannels);
  if (sound->frames() > d.maxFrames) sound->samples.resize(d.maxFrames * kChannels);
  return got < 0 ? got : 0;
}

// Sets the resampler up for the frame's own rate, format and layout (a file
// may change them part-way), draining what it holds of the frames before.
int follow(Decoding& d, Sound* sound) {
  AVFrame& f = *d.frame;
  if (d.resampler && f.sample_rate == d.inRate && f.format == d.inFormat &&
      av_channel_layout_compare(&f.ch_layout, &d.inLayout) == 0) {
    return 0;
  }
  if (f.sample_rate < kMinSoundRate || f.sample_rate > kMaxSoundRate) return AVERROR(ERANGE);
  if (f.ch_layout.nb_channels < 1 || f.ch_layout.nb_channels > kMaxSoundChannels) return AVERROR(EDOM);
  if (d.resampler) {
    if (int r = convert(d, sound, nullptr, 0); r < 0) return r;
    swr_free(&d.resampler);
  } else {
    sound->rate = std::min(f.sample_rate, kMaxKeptRate);
    sound->channels = kChannels;
    d.maxFrames = static_cast<std::size_t>(d.maxSeconds * sound->rate);
    // Room for the longest sound allowed, at once: growing by copies would
    // need twice the memory at its peak.
    sound->samples.reserve(d.maxFrames * kChannels);
  }
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  if (int r = swr_alloc_set_opts2(&d.resampler, &stereo, AV_SAMPLE_FMT_FLT, sound->rate, &f.ch_layout,
                                  static_cast<AVSampleFormat>(f.format), f.sample_rate, 0, nullptr);
      r < 0) {
    return r;
  }
  if (int r = swr_init(d.resampler); r < 0) return r;
  d.inRate = f.sample_rate;
  d.inFormat = f.format;
  av_channel_layout_uninit(&d.inLayout);
  return av_channel_layout_copy(&d.inLayout, &f.ch_layout);
}

// "an MP3", "a WAV", for messages.
std::string kind_of(const char* container) {
  std::string name = container;
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const bool vowel_sound = std::string("AEFHILMNORSX").find(name[0]) != std::string::npos;
  return (vowel_sound ? "an " : "a ") + name;
}

std::string reason(int code) {
  if (code == AVERROR(ERANGE)) {
    return "its sample rate is outside " + std::to_string(kMinSoundRate / 1000) + " to " +
           std::to_string(kMaxSoundRate / 1000) + " kHz";
  }
  if (code == AVERROR(EDOM)) return "it has more than " + std::to_string(kMaxSoundChannels) + " channels";
  if (code == AVERROR(ENOMEM)) return "out of memory";
  return av_message(code);
}

bool decode(const std::string& path, Sound* sound, std::string* error, const SoundFileLimits& limits) {
  av_log_set_level(AV_LOG_QUIET);  // failures are reported in our own words
  Decoding d;
  std::string why;
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    sound->samples.clear();
    return false;
  };
  d.fd = open_regular_file(path, &why);
  if (d.fd < 0) return fail(why);
  if (const off_t size = ::lseek(d.fd, 0, SEEK_END); size > kMaxFileBytes) {
    return fail("larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB");
  }
  const AVInputFormat* container = av_find_input_format(limits.container);
  if (!container) return fail(std::string("this system's FFmpeg cannot read ") + limits.container);

  d.io = fd_reader(d.fd);
  d.format = avformat_alloc_context();
  if (!d.io || !d.format) return fail("out of memory");
  d.format->pb = d.io;
  d.format->flags |= AVFMT_FLAG_CUSTOM_IO;
  close_doors(d.format);
  AVDictionary* options = nullptr;
  av_dict_set(&options, "format_whitelist", container->name, 0);
  av_dict_set(&options, "protocol_whitelist", "none", 0);
  const int opened = avformat_open_input(&d.format, nullptr, container, &options);
  av_dict_free(&options);
  if (opened < 0) {
    d.format = nullptr;  // freed by the failed open
    return fail(opened == AVERROR(ENOMEM) ? "out of memory" : "not " + kind_of(limits.container) + " file");
  }
  // The first sound stream the container declares, decoded frame by frame
  // from the start: its rate and channels are taken from the frames.
  int stream = -1;
  for (unsigned i = 0; i < d.format->nb_streams && stream < 0; ++i) {
    if (d.format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) stream = static_cast<int>(i);
  }
  const AVCodec* decoder = stream < 0 ? nullptr : avcodec_find_decoder(d.format->streams[stream]->codecpar->codec_id);
  if (!decoder) return fail("no sound in it that can be decoded");
  d.codec = avcodec_alloc_context3(decoder);
  if (!d.codec) return fail("out of memory");
  avcodec_parameters_to_context(d.codec, d.format->streams[stream]->codecpar);
  if (const int r = avcodec_open2(d.codec, decoder, nullptr); r < 0) return fail(reason(r));

  sound->rate = 0;
  sound->channels = 0;
  sound->samples.clear();
  d.maxSeconds = std::max(limits.maxSeconds, 0.0);
  d.packet = av_packet_alloc();
  d.frame = av_frame_alloc();
  if (!d.packet || !d.frame) return fail("out of memory");
  bool draining = false;
  while (sound->rate == 0 || sound->frames() < d.maxFrames) {
    if (stop_signal() != 0) return fail(stop_description());
    if (!draining) {
      const int r = av_read_frame(d.format, d.packet);
      if (r == AVERROR_EOF) {
        draining = true;
        avcodec_send_packet(d.codec, nullptr);
      } else if (r < 0) {
        return fail(reason(r));
      } else {
        if (d.packet->stream_index == stream) avcodec_send_packet(d.codec, d.packet);  // a bad packet is skipped
        av_packet_unref(d.packet);
      }
    }
    int r;
    while ((r = avcodec_receive_frame(d.codec, d.frame)) == 0) {
      if (int c = follow(d, sound); c < 0) return fail(reason(c));
      if (int c = convert(d, sound, const_cast<const std::uint8_t**>(d.frame->extended_data), d.frame->nb_samples);
          c < 0) {
        return fail(reason(c));
      }
      av_frame_unref(d.frame);
    }
    if (r == AVERROR_EOF || (draining && r < 0)) break;
  }
  if (d.resampler && sound->frames() < d.maxFrames) {
    if (int c = convert(d, sound, nullptr, 0); c < 0) return fail(reason(c));
  }
  if (sound->samples.empty()) return fail("no sound in it");
  if (sound->samples.size() < sound->samples.capacity() / 2) sound->samples.shrink_to_fit();
  return true;
}

}  // namespace

bool decode_sound_file(const std::string& path, Sound* sound, std::string* error, const SoundFileLimits& limits) {
  try {
    return decode(path, sound, error, limits);
  } catch (const std::bad_alloc&) {
    sound->samples = {};
    if (error) *error = "out of memory";
    return false;
  }
}

}  // namespace platform
