#include "support/video_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <webp/demux.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace fixture {

bool read_video(const std::string& path, Video* video, const char* container) {
  AVFormatContext* format = nullptr;
  const AVInputFormat* demuxer = container ? av_find_input_format(container) : nullptr;
  if (container && !demuxer) return false;
  if (avformat_open_input(&format, path.c_str(), demuxer, nullptr) < 0) return false;
  bool ok = false;
  AVCodecContext* codec = nullptr;
  SwsContext* scaler = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  const AVCodec* decoder = nullptr;
  int stream = -1;
  if (avformat_find_stream_info(format, nullptr) >= 0 &&
      (stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0)) >= 0) {
    for (unsigned i = 0; i < format->nb_streams; ++i) {
      const AVStream* a = format->streams[i];
      if (a->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
      if (video->audioStreams++ == 0 && a->duration > 0) video->audioDuration = a->duration * av_q2d(a->time_base);
    }
    const AVStream* s = format->streams[stream];
    video->fps = av_q2d(s->avg_frame_rate);
    video->colorRange = s->codecpar->color_range;
    video->duration = s->duration > 0 ? s->duration * av_q2d(s->time_base) : format->duration / double(AV_TIME_BASE);
    codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, s->codecpar);
    ok = avcodec_open2(codec, decoder, nullptr) >= 0;
    video->width = codec->width;
    video->height = codec->height;
    auto take = [&] {
      while (avcodec_receive_frame(codec, frame) == 0) {
        if (frame->format == AV_PIX_FMT_BGR0 || frame->format == AV_PIX_FMT_BGRA) {
          // RGB as it was coded, converted by nothing.
          std::vector<std::uint8_t> rgb(static_cast<std::size_t>(frame->width) * frame->height * 3);
          for (int row = 0; row < frame->height; ++row) {
            const std::uint8_t* in = frame->data[0] + row * frame->linesize[0];
            std::uint8_t* out = rgb.data() + static_cast<std::size_t>(row) * frame->width * 3;
            for (int x = 0; x < frame->width; ++x, in += 4, out += 3) {
              out[0] = in[2];
              out[1] = in[1];
              out[2] = in[0];
            }
          }
          video->frames.push_back(std::move(rgb));
          av_frame_unref(frame);
          continue;
        }
        scaler = sws_getCachedContext(scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                      frame->width, frame->height, AV_PIX_FMT_RGB24, SWS_BILINEAR | SWS_ACCURATE_RND,
                                      nullptr, nullptr, nullptr);
        // The capture writes BT.709, limited range.
        sws_setColorspaceDetails(scaler, sws_getCoefficients(SWS_CS_ITU709), 0, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                                 0, 1 << 16, 1 << 16);
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(frame->width) * frame->height * 3);
        std::uint8_t* planes[1] = {rgb.data()};
        const int stride[1] = {frame->width * 3};
        sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, stride);
        video->frames.push_back(std::move(rgb));
        std::vector<std::uint8_t> y(static_cast<std::size_t>(frame->width) * frame->height);
        for (int row = 0; row < frame->height; ++row) {
          std::copy_n(frame->data[0] + row * frame->linesize[0], frame->width, y.data() + row * frame->width);
        }
        video->luma.push_back(std::move(y));
        av_frame_unref(frame);
      }
    };
    while (ok && av_read_frame(format, packet) >= 0) {
      if (packet->stream_index == stream) avcodec_send_packet(codec, packet);
      av_packet_unref(packet);
      take();
    }
    if (ok) {
      avcodec_send_packet(codec, nullptr);
      take();
    }
  }
  sws_freeContext(scaler);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
  return ok;
}

bool read_webp(const std::string& path, Animation* animation) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const WebPData data{bytes.data(), bytes.size()};
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return false;
  options.color_mode = MODE_RGBA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  if (!decoder) return false;
  WebPAnimInfo info;
  bool ok = WebPAnimDecoderGetInfo(decoder, &info) != 0;
  if (ok) {
    animation->width = static_cast<int>(info.canvas_width);
    animation->height = static_cast<int>(info.canvas_height);
    animation->loopCount = static_cast<int>(info.loop_count);
  }
  while (ok && WebPAnimDecoderHasMoreFrames(decoder)) {
    std::uint8_t* rgba = nullptr;
    int end = 0;
    ok = WebPAnimDecoderGetNext(decoder, &rgba, &end) != 0;
    if (!ok) break;
    const std::size_t pixels = static_cast<std::size_t>(animation->width) * animation->height;
    std::vector<std::uint8_t> rgb(pixels * 3);
    for (std::size_t i = 0; i < pixels; ++i) std::copy_n(rgba + 4 * i, 3, rgb.data() + 3 * i);
    animation->frames.push_back(std::move(rgb));
    animation->ends.push_back(end);
  }
  WebPAnimDecoderDelete(decoder);
  return ok;
}

std::vector<std::uint8_t> luma_of(const std::vector<std::uint8_t>& rgba) {
  std::vector<std::uint8_t> y(rgba.size() / 4);
  for (std::size_t i = 0; i < y.size(); ++i) {
    const double v = 0.2126 * rgba[4 * i] + 0.7152 * rgba[4 * i + 1] + 0.0722 * rgba[4 * i + 2];
    y[i] = static_cast<std::uint8_t>(std::lround(16 + v * 219 / 255));
  }
  return y;
}

double psnr(const std::uint8_t* a, const std::uint8_t* b, std::size_t count) {
  double sum = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  const double mse = sum / static_cast<double>(count);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace fixture
