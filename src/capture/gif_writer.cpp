#include "capture/gif_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
}

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/desktop/fd_avio.h"

namespace {

using Clock = std::chrono::steady_clock;

// One colour for transparency is kept back: the encoder marks the pixels a
// frame leaves as they were with it, which is most of the saving over whole
// frames. Colours are counted over every pixel of every frame.
constexpr char kPaletteFilter[] = "palettegen=max_colors=256:reserve_transparent=1:stats_mode=full";
// Ordered dithering: a fixed pattern for each colour, so a still part of the
// picture dithers the same in every frame and costs nothing after the first
// (error diffusion shimmers from frame to frame and weighs more), and only
// the rectangle that changed is dithered again. A scale of 2 keeps the
// pattern fine enough not to be seen at the picture's own size.
constexpr char kDitherFilter[] = "[in][palette]paletteuse=dither=bayer:bayer_scale=2:diff_mode=rectangle[out]";

// A filter graph from buffer sources to one sink.
struct Graph {
  AVFilterGraph* graph = nullptr;
  std::vector<AVFilterContext*> sources;
  AVFilterContext* sink = nullptr;

  ~Graph() { avfilter_graph_free(&graph); }

  // `inputs`: each source's name and its pictures' size. BGRA pictures.
  int make(const char* description, const std::vector<std::pair<const char*, std::pair<int, int>>>& inputs,
           int fps) {
    graph = avfilter_graph_alloc();
    if (!graph) return AVERROR(ENOMEM);
    graph->nb_threads = 1;
    AVFilterInOut* outs = nullptr;
    for (auto it = inputs.rbegin(); it != inputs.rend(); ++it) {
      char args[160];
      std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=1/1",
                    it->second.first, it->second.second, static_cast<int>(AV_PIX_FMT_BGRA), fps);
      AVFilterContext* source = nullptr;
      int r = avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), it->first, args, nullptr, graph);
      AVFilterInOut* out = r >= 0 ? avfilter_inout_alloc() : nullptr;
      if (!out) {
        avfilter_inout_free(&outs);
        return r < 0 ? r : AVERROR(ENOMEM);
      }
      out->name = av_strdup(it->first);
      out->filter_ctx = source;
      out->pad_idx = 0;
      out->next = outs;
      outs = out;
      sources.insert(sources.begin(), source);
    }
    int r = avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph);
    AVFilterInOut* in = r >= 0 ? avfilter_inout_alloc() : nullptr;
    if (!in) {
      avfilter_inout_free(&outs);
      return r < 0 ? r : AVERROR(ENOMEM);
    }
    in->name = av_strdup("out");
    in->filter_ctx = sink;
    in->pad_idx = 0;
    in->next = nullptr;
    r = avfilter_graph_parse_ptr(graph, description, &in, &outs, nullptr);
    avfilter_inout_free(&in);
    avfilter_inout_free(&outs);
    return r < 0 ? r : avfilter_graph_config(graph, nullptr);
  }
};


bool read_at(int fd, std::uint8_t* data, std::size_t size, off_t at) {
  while (size > 0) {
    const ssize_t n = ::pread(fd, data, size, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
    at += n;
  }
  return true;
}

}  // namespace

struct GifWriter::Impl {
  VideoSettings settings;
  int scratch = -1;  // the frames, BGRA, one after another
  std::int64_t frames = 0;
  Graph palette;     // every frame in, one palette out
  AVFrame* picture = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  AVPacket* packet = nullptr;
  int fd = -1;

  ~Impl() {
    av_packet_free(&packet);
    av_frame_free(&picture);
    avcodec_free_context(&codec);
    if (format) {
      platform::free_fd_avio(&format->pb);
      avformat_free_context(format);
    }
    if (scratch >= 0) ::close(scratch);
  }

  std::size_t frame_bytes() const { return static_cast<std::size_t>(settings.width) * settings.height * 4; }

  // The frame in `picture` as BGRA rows.
  void fill(const std::uint8_t* rgba) {
    for (int y = 0; y < settings.height; ++y) {
      const std::uint8_t* in = rgba + static_cast<std::size_t>(y) * settings.width * 4;
      std::uint8_t* out = picture->data[0] + y * picture->linesize[0];
      for (int x = 0; x < settings.width; ++x, in += 4, out += 4) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        out[3] = 255;
      }
    }
  }

  int encode(AVFrame* frame) {
    int r = avcodec_send_frame(codec, frame);
    if (r < 0) return r;
    while ((r = avcodec_receive_packet(codec, packet)) == 0) {
      packet->duration = 1;  // the last frame's delay, like every other's
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      r = av_interleaved_write_frame(format, packet);
      if (r < 0) return r;
    }
    return r == AVERROR(EAGAIN) || r == AVERROR_EOF ? 0 : r;
  }

  // Every dithered frame the graph has ready, encoded.
  int drain(Graph& dither, AVFrame* out) {
    int r;
    while ((r = av_buffersink_get_frame(dither.sink, out)) >= 0) {
      r = encode(out);
      av_frame_unref(out);
      if (r < 0) return r;
    }
    return r == AVERROR(EAGAIN) || r == AVERROR_EOF ? 0 : r;
  }
};

GifWriter::GifWriter() = default;

GifWriter::~GifWriter() { abandon(); }

bool GifWriter::fail(int av_error) { return fail(platform::av_message(av_error)); }

void GifWriter::abandon() {
  impl_.reset();
  out_.abandon();
}

bool GifWriter::open(const std::string& path, const VideoSettings& settings) {
  av_log_set_level(AV_LOG_QUIET);
  if (!openOutput(path)) return false;
  impl_ = std::make_unique<Impl>();
  Impl& m = *impl_;
  m.settings = settings;
  m.scratch = platform::open_scratch_file(out_.writtenPath());
  if (m.scratch < 0) return fail(std::string("no room for its frames: ") + std::strerror(errno));
  if (int r = m.palette.make(kPaletteFilter, {{"in", {settings.width, settings.height}}}, settings.fps); r < 0) {
    return fail("cannot make its palette (" + platform::av_message(r) + ")");
  }
  m.picture = av_frame_alloc();
  m.packet = av_packet_alloc();
  if (!m.picture || !m.packet) return fail("out of memory");
  m.picture->format = AV_PIX_FMT_BGRA;
  m.picture->width = settings.width;
  m.picture->height = settings.height;
  if (int r = av_frame_get_buffer(m.picture, 0); r < 0) return fail(r);
  return true;
}

bool GifWriter::addFrame(const std::uint8_t* rgba) {
  if (!impl_) return false;
  Impl& m = *impl_;
  const auto t0 = Clock::now();
  if (int r = av_frame_make_writable(m.picture); r < 0) return fail(r);
  m.fill(rgba);
  m.picture->pts = m.frames++;
  conversion_ += seconds_since(t0);
  const auto t1 = Clock::now();
  // The palette counts the frame's colours now; the frame itself waits.
  if (int r = av_buffersrc_write_frame(m.palette.sources[0], m.picture); r < 0) return fail(r);
  for (int y = 0; y < m.settings.height; ++y) {
    if (!platform::write_all(m.scratch, m.picture->data[0] + y * m.picture->linesize[0],
                   static_cast<std::size_t>(m.settings.width) * 4)) {
      return fail(std::string("no room for its frames: ") + std::strerror(errno));
    }
  }
  encoding_ += seconds_since(t1);
  return true;
}

bool GifWriter::finish() {
  if (!impl_) return false;
  Impl& m = *impl_;
  const auto t0 = Clock::now();
  // The clip's palette.
  if (int r = av_buffersrc_add_frame(m.palette.sources[0], nullptr); r < 0) return fail(r);
  AVFrame* colours = av_frame_alloc();
  AVFrame* out = av_frame_alloc();
  struct Frees {
    AVFrame** a;
    AVFrame** b;
    ~Frees() {
      av_frame_free(a);
      av_frame_free(b);
    }
  } frees{&colours, &out};
  if (!colours || !out) return fail("out of memory");
  if (int r = av_buffersink_get_frame(m.palette.sink, colours); r < 0) return fail("cannot make its palette (" + platform::av_message(r) + ")");

  Graph dither;
  if (int r = dither.make(kDitherFilter,
                          {{"in", {m.settings.width, m.settings.height}}, {"palette", {colours->width, colours->height}}},
                          m.settings.fps);
      r < 0) {
    return fail("cannot dither its frames (" + platform::av_message(r) + ")");
  }
  colours->pts = 0;
  if (int r = av_buffersrc_add_frame(dither.sources[1], colours); r < 0) return fail(r);
  if (int r = av_buffersrc_add_frame(dither.sources[1], nullptr); r < 0) return fail(r);

  // The encoder and the file.
  const AVCodec* encoder = avcodec_find_encoder_by_name("gif");
  if (!encoder) return fail("this system's FFmpeg has no gif encoder");
  if (avformat_alloc_output_context2(&m.format, nullptr, "gif", nullptr) < 0 || !m.format) {
    return fail("cannot make a .gif file");
  }
  m.stream = avformat_new_stream(m.format, nullptr);
  m.codec = avcodec_alloc_context3(encoder);
  if (!m.stream || !m.codec) return fail("out of memory");
  m.codec->width = m.settings.width;
  m.codec->height = m.settings.height;
  m.codec->pix_fmt = AV_PIX_FMT_PAL8;
  m.codec->time_base = AVRational{1, m.settings.fps};
  m.codec->framerate = AVRational{m.settings.fps, 1};
  if (int r = avcodec_open2(m.codec, encoder, nullptr); r < 0) return fail(r);
  avcodec_parameters_from_context(m.stream->codecpar, m.codec);
  m.stream->time_base = m.codec->time_base;
  m.fd = out_.fd();
  m.format->pb = platform::fd_writer(m.fd);
  if (!m.format->pb) return fail("out of memory");
  m.format->url = av_strdup("velmora-output");
  platform::close_doors(m.format);
  AVDictionary* options = nullptr;
  av_dict_set(&options, "loop", "0", 0);  // for ever
  const int header = avformat_write_header(m.format, &options);
  av_dict_free(&options);
  if (header < 0) return fail(header);

  // Every frame again, from the scratch file, dithered onto the palette.
  for (std::int64_t k = 0; k < m.frames; ++k) {
    if (int r = av_frame_make_writable(m.picture); r < 0) return fail(r);
    for (int y = 0; y < m.settings.height; ++y) {
      const auto row = static_cast<std::size_t>(m.settings.width) * 4;
      if (!read_at(m.scratch, m.picture->data[0] + y * m.picture->linesize[0], row,
                   static_cast<off_t>(k * static_cast<std::int64_t>(m.frame_bytes()) + y * static_cast<std::int64_t>(row)))) {
        return fail(std::string("cannot read its frames back: ") + std::strerror(errno ? errno : EIO));
      }
    }
    m.picture->pts = k;
    if (int r = av_buffersrc_write_frame(dither.sources[0], m.picture); r < 0) return fail(r);
    if (int r = m.drain(dither, out); r < 0) return fail(r);
  }
  if (int r = av_buffersrc_add_frame(dither.sources[0], nullptr); r < 0) return fail(r);
  if (int r = m.drain(dither, out); r < 0) return fail(r);
  if (int r = m.encode(nullptr); r < 0) return fail(r);
  if (int r = av_write_trailer(m.format); r < 0) return fail(r);
  avio_flush(m.format->pb);
  if (m.format->pb->error < 0) return fail(m.format->pb->error);
  const std::int64_t written = avio_tell(m.format->pb);
  platform::free_fd_avio(&m.format->pb);
  encoding_ += seconds_since(t0);
  const bool committed = commitOutput(written);
  impl_.reset();
  return committed;
}
