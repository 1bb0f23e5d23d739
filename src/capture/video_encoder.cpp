#include "capture/video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <vector>

#include "capture/pcm.h"
#include "platform/desktop/fd_avio.h"

namespace {

constexpr VideoContainer kContainers[] = {
    {"mp4", ".mp4", "mp4", "libx264", "aac", 18, 51, false, false},
    {"mov", ".mov", "mov", "libx264", "aac", 18, 51, false, false},
    {"mkv", ".mkv", "matroska", "libx264", "aac", 18, 51, true, true},
    {"webm", ".webm", "webm", "libvpx-vp9", "libopus", 32, 63, true, false},
    {"nut", ".nut", "nut", "libx264", "aac", 18, 51, true, true},
};

// A piece: the encoded pictures of a span drawn by another process, unmuxed,
// for the process that joins the pieces. Native byte order, both ends being
// this program on this machine:
//   "velmora piece 1\n", i64 first frame, u32 extradata size, extradata,
//   per packet: u32 size, i64 pts, i64 dts, i64 duration, i32 flags, data
//   (times in frames of the piece), then u32 0xffffffff, i64 frame count.
constexpr char kPieceMagic[] = "velmora piece 1\n";
constexpr std::uint32_t kPieceEnd = 0xffffffff;

template <typename T>
bool put(std::FILE* f, T value) {
  return std::fwrite(&value, sizeof value, 1, f) == 1;
}
template <typename T>
bool take(std::FILE* f, T* value) {
  return std::fread(value, sizeof *value, 1, f) == 1;
}

}  // namespace

std::optional<VideoContainer> container_for(const std::string& path) {
  for (const VideoContainer& c : kContainers) {
    if (has_extension(path, c.extension)) return c;
  }
  return std::nullopt;
}

std::optional<VideoContainer> container_named(const std::string& name) {
  for (const VideoContainer& c : kContainers) {
    if (name == c.name) return c;
  }
  return std::nullopt;
}

std::string accepted_extensions() { return ".mp4, .mov, .mkv, .webm or .nut"; }

std::string streaming_containers() { return "mkv, nut or webm"; }

struct VideoEncoder::Impl {
  VideoSettings settings;
  VideoContainer container{};
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVStream* videoStream = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* audioStream = nullptr;
  SwsContext* scaler = nullptr;
  SwrContext* resampler = nullptr;
  AVAudioFifo* fifo = nullptr;
  AVFrame* picture = nullptr;
  AVFrame* sound = nullptr;
  AVPacket* packet = nullptr;
  std::int64_t frames = 0;        // pictures added
  std::int64_t soundFed = 0;      // soundtrack frames handed to the resampler
  std::int64_t soundPts = 0;      // encoded audio, in the encoder's samples
  std::vector<float> silence;     // for time past the soundtrack's end
  std::vector<std::int32_t> exact;  // lossless: the sound as 24-bit samples
  int fd = -1;  // the output's descriptor, the file's own
  std::FILE* piece = nullptr;  // a piece's packets go here instead of a muxer
  bool picturesEnded = false;  // the video encoder is flushed; pieces may follow

  ~Impl() {
    if (piece) std::fclose(piece);
    av_packet_free(&packet);
    av_frame_free(&sound);
    av_frame_free(&picture);
    av_audio_fifo_free(fifo);
    swr_free(&resampler);
    sws_freeContext(scaler);
    avcodec_free_context(&audio);
    avcodec_free_context(&video);
    if (format) {
      platform::free_fd_avio(&format->pb);
      avformat_free_context(format);
    }
  }

  // Sends `frame` (null to flush) to `codec` and writes every packet it gives back.
  int encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    int r = avcodec_send_frame(codec, frame);
    if (r < 0) return r;
    while ((r = avcodec_receive_packet(codec, packet)) == 0) {
      if (piece) {
        const bool written = put(piece, static_cast<std::uint32_t>(packet->size)) && put(piece, packet->pts) &&
                             put(piece, packet->dts) && put(piece, packet->duration) && put(piece, packet->flags) &&
                             std::fwrite(packet->data, 1, static_cast<std::size_t>(packet->size), piece) ==
                                 static_cast<std::size_t>(packet->size);
        av_packet_unref(packet);
        if (!written) return AVERROR(errno ? errno : EIO);
        continue;
      }
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      r = av_interleaved_write_frame(format, packet);
      if (r < 0) return r;
    }
    return r == AVERROR(EAGAIN) || r == AVERROR_EOF ? 0 : r;
  }

  // Encodes whole audio frames from the FIFO (and, when flushing, the rest).
  int drain_audio(bool flushing) {
    const int frame_size = audio->frame_size > 0 ? audio->frame_size : 1024;
    while (av_audio_fifo_size(fifo) >= frame_size || (flushing && av_audio_fifo_size(fifo) > 0)) {
      const int n = std::min(frame_size, av_audio_fifo_size(fifo));
      sound->nb_samples = n;
      if (int r = av_frame_make_writable(sound); r < 0) return r;
      av_audio_fifo_read(fifo, reinterpret_cast<void**>(sound->data), n);
      sound->pts = soundPts;
      soundPts += n;
      if (int r = encode(audio, audioStream, sound); r < 0) return r;
    }
    return 0;
  }

  // Feeds the soundtrack up to `until` frames of it past the capture's start.
  int feed_audio(std::int64_t until) {
    const platform::Sound& track = *settings.sound;
    const auto total = static_cast<std::int64_t>(track.frames());
    while (soundFed < until) {
      const std::int64_t n = std::min<std::int64_t>(until - soundFed, 4096);
      const std::int64_t at = static_cast<std::int64_t>(settings.soundFirstFrame) + soundFed;
      const float* input = silence.data();
      if (at + n <= total) {
        input = track.samples.data() + at * track.channels;
      } else if (at < total) {
        // The soundtrack ends inside this piece: its rest, then silence.
        std::fill(silence.begin(), silence.end(), 0.0f);
        std::copy(track.samples.data() + at * track.channels, track.samples.data() + total * track.channels,
                  silence.begin());
      } else {
        std::fill(silence.begin(), silence.end(), 0.0f);
      }
      const int r = exact.empty() ? resample(reinterpret_cast<const std::uint8_t*>(input), static_cast<int>(n))
                                  : keep(input, static_cast<int>(n));
      if (r < 0) return r;
      soundFed += n;
    }
    return drain_audio(false);
  }

  // Lossless: the samples as they are, at their own rate, in 24 bits.
  int keep(const float* input, int count) {
    const auto values = static_cast<std::size_t>(count) * 2;
    for (std::size_t i = 0; i < values; ++i) exact[i] = pcm24(input[i]) * 256;  // FLAC takes the top 24 bits
    void* planes[1] = {exact.data()};
    const int r = av_audio_fifo_write(fifo, planes, count);
    return r < 0 ? r : 0;
  }

  int resample(const std::uint8_t* input, int count) {
    const int room = swr_get_out_samples(resampler, count);
    if (room <= 0) return 0;
    std::vector<std::uint8_t*> planes(static_cast<std::size_t>(audio->ch_layout.nb_channels));
    if (int r = av_samples_alloc(planes.data(), nullptr, audio->ch_layout.nb_channels, room, audio->sample_fmt, 0);
        r < 0) {
      return r;
    }
    const std::uint8_t* in[1] = {input};
    const int got = swr_convert(resampler, planes.data(), room, input ? in : nullptr, count);
    int r = got;
    if (got > 0) r = av_audio_fifo_write(fifo, reinterpret_cast<void**>(planes.data()), got);
    av_freep(&planes[0]);
    return r < 0 ? r : 0;
  }
};

VideoEncoder::VideoEncoder() = default;

VideoEncoder::~VideoEncoder() { abandon(); }

bool VideoEncoder::fail(int av_error) { return fail(platform::av_message(av_error)); }

void VideoEncoder::abandon() {
  impl_.reset();
  out_.abandon();
}

bool VideoEncoder::open(const std::string& path, const VideoSettings& settings) {
  abandon();
  av_log_set_level(AV_LOG_QUIET);  // failures are reported in our own words
  const auto container = settings.container.empty() ? container_for(path) : container_named(settings.container);
  if (!container) {
    error_ = path + ": not a video name (use " + accepted_extensions() + ")";
    return false;
  }
  if (settings.lossless && !container->lossless) {
    error_ = path + ": a lossless capture is written as .mkv or .nut";
    return false;
  }
  const bool piece = settings.pieceFd >= 0;
  if (piece) {
    name_ = path;  // a piece writes no file of its own, but names the capture's
  } else if (!openOutput(path)) {
    return false;
  }
  impl_ = std::make_unique<Impl>();
  Impl& m = *impl_;
  m.settings = settings;
  m.container = *container;
  const char* video_name = settings.lossless ? "ffv1" : container->video;
  const char* audio_name = settings.lossless ? "flac" : container->audio;

  if (avformat_alloc_output_context2(&m.format, nullptr, container->muxer, nullptr) < 0 || !m.format) {
    return fail("cannot make a " + std::string(container->extension) + " file");
  }
  const AVCodec* video_codec = avcodec_find_encoder_by_name(video_name);
  if (!video_codec) return fail(std::string("this system's FFmpeg has no ") + video_name + " encoder");
  m.videoStream = avformat_new_stream(m.format, nullptr);
  m.video = avcodec_alloc_context3(video_codec);
  if (!m.videoStream || !m.video) return fail("out of memory");
  AVCodecContext* v = m.video;
  v->width = settings.width;
  v->height = settings.height;
  v->time_base = AVRational{1, settings.fps};
  v->framerate = AVRational{settings.fps, 1};
  v->color_primaries = AVCOL_PRI_BT709;
  if (settings.lossless) {
    // The show's pixels as they are, in the RGB layout FFV1 takes for 8 bits
    // (B, G, R and a byte unused), every frame a key frame.
    v->pix_fmt = AV_PIX_FMT_BGR0;
    v->gop_size = 1;
    v->color_range = AVCOL_RANGE_JPEG;
    v->colorspace = AVCOL_SPC_RGB;
    v->color_trc = AVCOL_TRC_IEC61966_2_1;
    v->level = 3;
    // A fixed number of slices (not one per thread): every machine writes
    // the same stream, and the slices are coded in parallel.
    v->slices = 4;
    av_opt_set_int(v->priv_data, "slicecrc", 1, 0);
    v->thread_count = 4;
  } else {
    v->pix_fmt = AV_PIX_FMT_YUV420P;
    v->gop_size = settings.fps * 2;  // a key frame every two seconds, for seeking in players
    v->color_range = AVCOL_RANGE_MPEG;
    v->colorspace = AVCOL_SPC_BT709;
    v->color_trc = AVCOL_TRC_BT709;
    const int quality = settings.quality >= 0 ? settings.quality : container->quality_default;
    av_opt_set_int(v->priv_data, "crf", quality, 0);
  }
  if (std::strcmp(video_name, "libx264") == 0) {
    // The show's thread and the GL driver keep a core busy: "veryfast" keeps
    // the encoder from holding the capture back, at a few percent more bytes
    // than "medium" for the same constant quality.
    av_opt_set(v->priv_data, "preset", "veryfast", 0);
    av_opt_set(v->priv_data, "tune", "animation", 0);
  } else if (std::strcmp(video_name, "libvpx-vp9") == 0) {
    v->bit_rate = 0;  // constant quality only
    av_opt_set(v->priv_data, "deadline", "good", 0);
    av_opt_set_int(v->priv_data, "cpu-used", 5, 0);  // the fastest of the "good" speeds
    av_opt_set_int(v->priv_data, "row-mt", 1, 0);
  }
  if (m.format->oformat->flags & AVFMT_GLOBALHEADER) v->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (int r = avcodec_open2(v, video_codec, nullptr); r < 0) return fail(r);
  avcodec_parameters_from_context(m.videoStream->codecpar, v);
  m.videoStream->time_base = v->time_base;
  m.videoStream->avg_frame_rate = v->framerate;

  if (!settings.lossless) {
    m.scaler = sws_getContext(settings.width, settings.height, AV_PIX_FMT_RGBA, settings.width, settings.height,
                              AV_PIX_FMT_YUV420P, SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (!m.scaler) return fail("cannot convert its pictures");
    sws_setColorspaceDetails(m.scaler, sws_getCoefficients(SWS_CS_DEFAULT), 1, sws_getCoefficients(SWS_CS_ITU709),
                             0, 0, 1 << 16, 1 << 16);
  }
  m.picture = av_frame_alloc();
  m.packet = av_packet_alloc();
  if (!m.picture || !m.packet) return fail("out of memory");
  m.picture->format = v->pix_fmt;
  m.picture->width = settings.width;
  m.picture->height = settings.height;
  if (int r = av_frame_get_buffer(m.picture, 0); r < 0) return fail(r);

  if (piece) {
    // Encoded as the joining process encodes its own piece, muxed by it.
    const int copy = ::dup(settings.pieceFd);
    m.piece = copy >= 0 ? ::fdopen(copy, "wb") : nullptr;
    if (!m.piece) {
      if (copy >= 0) ::close(copy);
      return fail(std::strerror(errno));
    }
    const auto extra = static_cast<std::uint32_t>(v->extradata_size);
    if (std::fwrite(kPieceMagic, 1, sizeof kPieceMagic - 1, m.piece) != sizeof kPieceMagic - 1 ||
        !put(m.piece, static_cast<std::int64_t>(settings.firstNumber)) || !put(m.piece, extra) ||
        std::fwrite(v->extradata, 1, extra, m.piece) != extra) {
      return fail(std::strerror(errno));
    }
    return true;
  }

  if (settings.sound) {
    const AVCodec* audio_codec = avcodec_find_encoder_by_name(audio_name);
    if (!audio_codec) return fail(std::string("this system's FFmpeg has no ") + audio_name + " encoder");
    m.audioStream = avformat_new_stream(m.format, nullptr);
    m.audio = avcodec_alloc_context3(audio_codec);
    if (!m.audioStream || !m.audio) return fail("out of memory");
    AVCodecContext* a = m.audio;
    const bool opus = std::strcmp(audio_name, "libopus") == 0;
    a->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    if (settings.lossless) {
      // The soundtrack's own rate and samples, in 24 bits.
      a->sample_rate = settings.sound->rate;
      a->sample_fmt = AV_SAMPLE_FMT_S32;
      a->bits_per_raw_sample = 24;
    } else {
      // Every soundtrack captures: Opus takes 48 kHz only, and AAC is given
      // one of the two rates every player takes.
      a->sample_rate = !opus && settings.sound->rate == 44100 ? 44100 : 48000;
      a->sample_fmt = audio_codec->sample_fmts ? audio_codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
      if (opus && audio_codec->sample_fmts) {
        for (const AVSampleFormat* f = audio_codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
          if (*f == AV_SAMPLE_FMT_FLT) a->sample_fmt = *f;
        }
      }
      a->bit_rate = opus ? 160000 : 192000;
    }
    a->time_base = AVRational{1, a->sample_rate};
    if (m.format->oformat->flags & AVFMT_GLOBALHEADER) a->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int r = avcodec_open2(a, audio_codec, nullptr); r < 0) return fail(r);
    avcodec_parameters_from_context(m.audioStream->codecpar, a);
    m.audioStream->time_base = a->time_base;

    if (settings.lossless) {
      m.exact.resize(4096 * 2);
    } else {
      AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
      if (swr_alloc_set_opts2(&m.resampler, &a->ch_layout, a->sample_fmt, a->sample_rate, &stereo,
                              AV_SAMPLE_FMT_FLT, settings.sound->rate, 0, nullptr) < 0 ||
          swr_init(m.resampler) < 0) {
        return fail("cannot convert its sound");
      }
    }
    m.fifo = av_audio_fifo_alloc(a->sample_fmt, a->ch_layout.nb_channels, 8192);
    m.sound = av_frame_alloc();
    if (!m.fifo || !m.sound) return fail("out of memory");
    m.sound->format = a->sample_fmt;
    av_channel_layout_copy(&m.sound->ch_layout, &a->ch_layout);
    m.sound->sample_rate = a->sample_rate;
    m.sound->nb_samples = a->frame_size > 0 ? a->frame_size : 1024;
    if (int r = av_frame_get_buffer(m.sound, 0); r < 0) return fail(r);
    m.silence.assign(4096 * static_cast<std::size_t>(settings.sound->channels), 0.0f);
  }

  // libavformat writes through the descriptor we opened and never sees a
  // name: the fast start's second pass reads the file back through it too.
  m.fd = out_.fd();
  m.format->pb = platform::fd_writer(m.fd);
  if (!m.format->pb) return fail("out of memory");
  if (!m.format->pb->seekable && !container->streams) {
    return fail(std::string("a ") + container->extension + " file cannot be written to a pipe (use " +
                streaming_containers() + ")");
  }
  m.format->url = av_strdup("velmora-output");
  platform::close_doors(m.format, &m.fd);
  AVDictionary* options = nullptr;
  if ((std::strcmp(container->muxer, "mp4") == 0 || std::strcmp(container->muxer, "mov") == 0) &&
      m.format->pb->seekable) {
    av_dict_set(&options, "movflags", "+faststart", 0);  // playable while it downloads
  }
  const int r = avformat_write_header(m.format, &options);
  av_dict_free(&options);
  if (r < 0) return fail(r);
  return true;
}

bool VideoEncoder::addFrame(const std::uint8_t* rgba) {
  if (!impl_) return false;
  Impl& m = *impl_;
  const auto t0 = std::chrono::steady_clock::now();
  if (int r = av_frame_make_writable(m.picture); r < 0) return fail(r);
  const int w = m.settings.width;
  if (m.scaler) {
    const int stride[1] = {w * 4};
    sws_scale(m.scaler, &rgba, stride, 0, m.settings.height, m.picture->data, m.picture->linesize);
  } else {
    for (int y = 0; y < m.settings.height; ++y) {
      const std::uint8_t* in = rgba + static_cast<std::size_t>(y) * w * 4;
      std::uint8_t* out = m.picture->data[0] + y * m.picture->linesize[0];
      for (int x = 0; x < w; ++x, in += 4, out += 4) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        out[3] = 0;
      }
    }
  }
  const auto t1 = std::chrono::steady_clock::now();
  conversion_ += std::chrono::duration<double>(t1 - t0).count();
  m.picture->pts = m.frames++;
  if (int r = m.encode(m.video, m.videoStream, m.picture); r < 0) return fail(r);
  if (m.audio) {
    // The sound of this picture's time on screen: up to the next picture.
    const std::int64_t until = av_rescale(m.frames, m.settings.sound->rate, m.settings.fps);
    if (int r = m.feed_audio(until); r < 0) return fail(r);
  }
  encoding_ += seconds_since(t1);
  return true;
}

bool VideoEncoder::endPictures() {
  if (!impl_) return false;
  Impl& m = *impl_;
  if (!m.picturesEnded) {
    if (int r = m.encode(m.video, m.videoStream, nullptr); r < 0) return fail(r);
    m.picturesEnded = true;
  }
  return true;
}

bool VideoEncoder::append(int fd, long frames) {
  if (!endPictures()) return false;
  Impl& m = *impl_;
  const int copy = ::dup(fd);
  std::FILE* in = copy >= 0 && ::lseek(copy, 0, SEEK_SET) == 0 ? ::fdopen(copy, "rb") : nullptr;
  if (!in) {
    if (copy >= 0) ::close(copy);
    return fail(std::strerror(errno));
  }
  struct Closer {
    std::FILE* f;
    ~Closer() { std::fclose(f); }
  } closer{in};
  const std::string broken = "a piece drawn by another process is incomplete";
  char magic[sizeof kPieceMagic - 1];
  std::int64_t first = 0;
  std::uint32_t extra = 0;
  if (std::fread(magic, 1, sizeof magic, in) != sizeof magic || std::memcmp(magic, kPieceMagic, sizeof magic) != 0 ||
      !take(in, &first) || !take(in, &extra) || first != m.frames || extra > (1u << 20)) {
    return fail(broken);
  }
  std::vector<std::uint8_t> extradata(extra);
  if (std::fread(extradata.data(), 1, extra, in) != extra) return fail(broken);
  // The same settings make the same stream headers; anything else would
  // decode wrongly after the join.
  if (extradata.size() != static_cast<std::size_t>(std::max(m.video->extradata_size, 0)) ||
      (extra > 0 && std::memcmp(extradata.data(), m.video->extradata, extra) != 0)) {
    return fail("the pieces drawn by other processes were encoded differently and cannot be joined");
  }
  for (std::int64_t packets = 0;; ++packets) {
    std::int64_t pts = 0;
    std::int64_t dts = 0;
    std::int64_t duration = 0;
    int flags = 0;
    std::uint32_t size = 0;
    if (!take(in, &size)) return fail(broken);
    if (size == kPieceEnd) {
      std::int64_t count = 0;
      if (!take(in, &count) || count != frames) return fail(broken);
      break;
    }
    if (size > (1u << 30) || !take(in, &pts) || !take(in, &dts) || !take(in, &duration) || !take(in, &flags)) {
      return fail(broken);
    }
    if (int r = av_new_packet(m.packet, static_cast<int>(size)); r < 0) return fail(r);
    if (std::fread(m.packet->data, 1, size, in) != size) {
      av_packet_unref(m.packet);
      return fail(broken);
    }
    m.packet->pts = pts == AV_NOPTS_VALUE ? pts : pts + first;
    m.packet->dts = dts == AV_NOPTS_VALUE ? dts : dts + first;
    m.packet->duration = duration;
    m.packet->flags = flags;
    av_packet_rescale_ts(m.packet, m.video->time_base, m.videoStream->time_base);
    m.packet->stream_index = m.videoStream->index;
    if (int r = av_interleaved_write_frame(m.format, m.packet); r < 0) return fail(r);
    if (m.audio) {
      // The sound as far as the pictures have come, as addFrame feeds it.
      const std::int64_t until = av_rescale(std::min(first + packets + 1, first + frames), m.settings.sound->rate,
                                            m.settings.fps);
      if (int r = m.feed_audio(until); r < 0) return fail(r);
    }
  }
  m.frames = first + frames;
  if (m.audio) {
    if (int r = m.feed_audio(av_rescale(m.frames, m.settings.sound->rate, m.settings.fps)); r < 0) return fail(r);
  }
  return true;
}

bool VideoEncoder::finish() {
  if (!impl_) return false;
  Impl& m = *impl_;
  if (!endPictures()) return false;
  if (m.piece) {
    const bool ended = put(m.piece, kPieceEnd) && put(m.piece, static_cast<std::int64_t>(m.frames));
    const bool closed = std::fclose(m.piece) == 0;
    m.piece = nullptr;
    if (!ended || !closed) return fail(std::strerror(errno));
    impl_.reset();
    return true;
  }
  if (m.audio) {
    if (m.resampler) {
      if (int r = m.resample(nullptr, 0); r < 0) return fail(r);  // what the resampler still holds
    }
    if (int r = m.drain_audio(true); r < 0) return fail(r);
    if (int r = m.encode(m.audio, m.audioStream, nullptr); r < 0) return fail(r);
  }
  if (int r = av_write_trailer(m.format); r < 0) return fail(r);
  avio_flush(m.format->pb);
  if (m.format->pb->error < 0) return fail(m.format->pb->error);
  const std::int64_t size = m.format->pb->seekable ? avio_size(m.format->pb) : avio_tell(m.format->pb);
  platform::free_fd_avio(&m.format->pb);
  const bool committed = commitOutput(size);
  impl_.reset();
  return committed;
}
