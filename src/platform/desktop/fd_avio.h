#pragma once
// FFmpeg's input and output through descriptors we opened ourselves, so that
// no name is ever read by FFmpeg (a name with a colon would be a protocol to
// it), and no file, protocol or device can be opened from inside a file.
#include <string>

struct AVIOContext;
struct AVFormatContext;

namespace platform {

// Reads `fd` from its start, at an offset of its own (pread), so a reader and
// a writer may share one descriptor. Null when out of memory.
AVIOContext* fd_reader(int fd);
// Writes `fd` where it stands (write, lseek): a regular file, a FIFO or a
// pipe. Null when out of memory.
AVIOContext* fd_writer(int fd);
// Frees a context made by fd_reader or fd_writer (the descriptor stays open).
void free_fd_avio(AVIOContext** io);

// Lets `format` open nothing of its own: every nested open (a playlist's
// entries, a network stream, a second pass over the output) is refused unless
// `reopen_fd` is given, in which case a reading reopen of the format's own url
// reads that descriptor, which must outlive the format.
void close_doors(AVFormatContext* format, const int* reopen_fd = nullptr);

// FFmpeg's words for one of its error codes.
std::string av_message(int code);

}  // namespace platform
