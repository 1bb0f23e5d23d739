#include "platform/desktop/fd_avio.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "process/files.h"

namespace platform {
namespace {

constexpr int kBufferBytes = 64 * 1024;

struct Descriptor {
  int fd = -1;
  std::int64_t offset = 0;  // readers only
};

std::int64_t size_of(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : AVERROR(ENOSYS);
}

int read_at(void* opaque, std::uint8_t* buffer, int size) {
  auto* d = static_cast<Descriptor*>(opaque);
  ssize_t n;
  do {
    n = ::pread(d->fd, buffer, static_cast<std::size_t>(size), d->offset);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return AVERROR(errno);
  if (n == 0) return AVERROR_EOF;
  d->offset += n;
  return static_cast<int>(n);
}

std::int64_t seek_reader(void* opaque, std::int64_t offset, int whence) {
  auto* d = static_cast<Descriptor*>(opaque);
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return size_of(d->fd);
  std::int64_t base = 0;
  if (whence == SEEK_CUR) {
    base = d->offset;
  } else if (whence == SEEK_END) {
    base = size_of(d->fd);
    if (base < 0) return base;
  } else if (whence != SEEK_SET) {
    return AVERROR(EINVAL);
  }
  if (offset < 0 ? base < -offset : base > INT64_MAX - offset) return AVERROR(EINVAL);
  d->offset = base + offset;
  return d->offset;
}

int write_packet(void* opaque, std::uint8_t* buffer, int size) {  // FFmpeg 5 passes it non-const
  const int fd = static_cast<Descriptor*>(opaque)->fd;
  return write_all(fd, buffer, static_cast<std::size_t>(size)) ? size : AVERROR(errno);
}

std::int64_t seek_writer(void* opaque, std::int64_t offset, int whence) {
  const int fd = static_cast<Descriptor*>(opaque)->fd;
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return size_of(fd);
  const off_t at = ::lseek(fd, offset, whence);
  return at < 0 ? AVERROR(errno) : at;
}

AVIOContext* make(int fd, bool writable) {
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferBytes));
  auto* d = static_cast<Descriptor*>(av_mallocz(sizeof(Descriptor)));
  AVIOContext* io = nullptr;
  if (buffer && d) {
    d->fd = fd;
    io = writable ? avio_alloc_context(buffer, kBufferBytes, 1, d, nullptr, write_packet, seek_writer)
                  : avio_alloc_context(buffer, kBufferBytes, 0, d, read_at, nullptr, seek_reader);
  }
  if (!io) {
    av_free(buffer);
    av_free(d);
    return nullptr;
  }
  // A pipe or FIFO cannot seek: the muxers then write what needs no going back.
  if (writable && ::lseek(fd, 0, SEEK_CUR) < 0) io->seekable = 0;
  return io;
}

int refuse_or_reopen(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary**) {
  const auto* reopen_fd = static_cast<const int*>(s->opaque);
  if (reopen_fd && (flags & AVIO_FLAG_WRITE) == 0 && url && s->url && std::strcmp(url, s->url) == 0) {
    *pb = fd_reader(*reopen_fd);
    return *pb ? 0 : AVERROR(ENOMEM);
  }
  return AVERROR(EPERM);
}

int close_reopened(AVFormatContext*, AVIOContext* pb) {
  free_fd_avio(&pb);
  return 0;
}

}  // namespace

std::string av_message(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

AVIOContext* fd_reader(int fd) { return make(fd, false); }

AVIOContext* fd_writer(int fd) { return make(fd, true); }

void free_fd_avio(AVIOContext** io) {
  if (!io || !*io) return;
  av_freep(&(*io)->buffer);
  av_freep(&(*io)->opaque);
  avio_context_free(io);
}

void close_doors(AVFormatContext* format, const int* reopen_fd) {
  format->opaque = const_cast<int*>(reopen_fd);
  format->io_open = refuse_or_reopen;
  format->io_close2 = close_reopened;
}

}  // namespace platform
