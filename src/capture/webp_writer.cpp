#include "capture/webp_writer.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {
using Clock = std::chrono::steady_clock;

}  // namespace

struct WebpWriter::Impl {
  VideoSettings settings;
  WebPAnimEncoder* encoder = nullptr;
  WebPConfig config{};
  WebPPicture picture{};
  std::int64_t frames = 0;

  ~Impl() {
    WebPPictureFree(&picture);
    if (encoder) WebPAnimEncoderDelete(encoder);
  }

  // The moment frame k is shown, in the file's milliseconds.
  int timestamp(std::int64_t k) const { return static_cast<int>((k * 1000 + settings.fps / 2) / settings.fps); }
};

WebpWriter::WebpWriter() = default;

WebpWriter::~WebpWriter() { abandon(); }

void WebpWriter::abandon() {
  impl_.reset();
  out_.abandon();
}

bool WebpWriter::open(const std::string& path, const VideoSettings& settings) {
  if (!openOutput(path)) return false;
  impl_ = std::make_unique<Impl>();
  Impl& m = *impl_;
  m.settings = settings;
  WebPAnimEncoderOptions options;
  if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&m.config) || !WebPPictureInit(&m.picture)) {
    return fail("this system's libwebp does not match its headers");
  }
  options.anim_params.loop_count = 0;  // for ever
  // A key frame at least every 2 s, at most every second: a viewer that
  // joins late, or seeks, decodes little.
  options.kmax = 2 * settings.fps;
  options.kmin = settings.fps + 1;
  m.config.quality = static_cast<float>(settings.quality >= 0 ? settings.quality : kDefaultQuality);
  m.config.method = 4;
  m.config.thread_level = 1;
  if (!WebPValidateConfig(&m.config)) return fail("its encoder settings are refused");
  m.encoder = WebPAnimEncoderNew(settings.width, settings.height, &options);
  if (!m.encoder) return fail("out of memory");
  m.picture.width = settings.width;
  m.picture.height = settings.height;
  m.picture.use_argb = 1;
  if (!WebPPictureAlloc(&m.picture)) return fail("out of memory");
  return true;
}

bool WebpWriter::addFrame(const std::uint8_t* rgba) {
  if (!impl_) return false;
  Impl& m = *impl_;
  const auto t0 = Clock::now();
  if (!WebPPictureImportRGBX(&m.picture, rgba, m.settings.width * 4)) return fail("out of memory");
  const auto t1 = Clock::now();
  conversion_ += std::chrono::duration<double>(t1 - t0).count();
  if (!WebPAnimEncoderAdd(m.encoder, &m.picture, m.timestamp(m.frames), &m.config)) {
    return fail(WebPAnimEncoderGetError(m.encoder));
  }
  ++m.frames;
  encoding_ += seconds_since(t1);
  return true;
}

bool WebpWriter::finish() {
  if (!impl_) return false;
  Impl& m = *impl_;
  const auto t0 = Clock::now();
  // The end of the last frame, then the whole file.
  if (!WebPAnimEncoderAdd(m.encoder, nullptr, m.timestamp(m.frames), nullptr)) {
    return fail(WebPAnimEncoderGetError(m.encoder));
  }
  WebPData data;
  WebPDataInit(&data);
  if (!WebPAnimEncoderAssemble(m.encoder, &data)) return fail(WebPAnimEncoderGetError(m.encoder));
  const bool written = platform::write_all(out_.fd(), data.bytes, data.size);
  const int error = errno;
  const auto size = static_cast<std::int64_t>(data.size);
  WebPDataClear(&data);
  if (!written) return fail(std::strerror(error));
  encoding_ += seconds_since(t0);
  const bool committed = commitOutput(size);
  impl_.reset();
  return committed;
}
