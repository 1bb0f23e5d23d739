#pragma once
// Files in and out, for every file the programs read or write.
//
// Reading takes regular files only: a FIFO, a device, a directory or a socket
// under an asset's name is refused at once instead of blocking or spinning.
//
// Writing never leaves a file half-written: a regular file (or a name not
// taken yet) is written under a unique temporary name in its own folder and
// renamed over the target when complete, so concurrent writers each leave a
// whole file and readers never see a partial one. A symbolic link is followed
// (the file it points to is replaced, the link stays). A FIFO, a device or a
// socket is written directly: it cannot be replaced, and there is no file in
// it to be left half-written. "-" is standard output.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace platform {

// Writes all `size` bytes to `fd`, through interrupted and short writes.
// False with errno set on a failure.
bool write_all(int fd, const std::uint8_t* data, std::size_t size);

// Opens `path` for reading if it is a regular file. Returns the descriptor,
// or -1 with a one-line reason in *error ("not a regular file", or the
// system's reason).
int open_regular_file(const std::string& path, std::string* error);

// The whole of a file, read at once (and not cleared first: large files
// read faster that way).
struct FileContents {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
};

// Reads the whole regular file at `path`. False with a one-line reason in
// *error when it is not a regular file, cannot be read, or is larger than
// `max_bytes`.
bool read_regular_file(const std::string& path, FileContents* contents, std::string* error,
                       std::size_t max_bytes = SIZE_MAX);

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // abandons the file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Starts writing `path`. False with error() set, naming the file.
  bool open(const std::string& path);
  // The descriptor and a stdio stream over it, valid between open and
  // commit or abandon.
  int fd() const { return fd_; }
  std::FILE* stream();
  // Makes the written file the target: flushes, syncs and renames it into
  // place (or just flushes, for a direct write). False with error() set; the
  // temporary file is then gone.
  bool commit();
  // Removes what was written (the temporary file), leaving the target as it was.
  void abandon();

  // Records a failure of the caller's own writes (errno-style code): commit
  // then fails with that reason.
  void fail(int error_code);

  const std::string& path() const { return path_; }
  // The name the bytes are going to now: the temporary file, or the target
  // itself for a direct write (for writers that open files by name).
  const std::string& writtenPath() const { return temporary_.empty() ? target_ : temporary_; }
  // "PATH: reason" for the last failure.
  const std::string& error() const { return error_; }

 private:
  bool set_error(const std::string& reason);
  void close_stream();

  std::string path_;
  std::string target_;     // the file finally written, symbolic links followed
  std::string temporary_;  // empty for a direct write
  int fd_ = -1;
  std::FILE* stream_ = nullptr;
  int slot_ = -1;  // the temporary's entry in the signal handler's list
  int failure_ = 0;
  bool direct_ = false;
  bool owns_fd_ = true;
  std::string error_;
};

// A file without a name, for a writer's own scratch data: made in the folder
// of the file `beside` when it can be (the disk the output goes to;
// O_TMPFILE), else in the temporary folder, and gone with its descriptor,
// however the process ends (an empty `beside`: the temporary folder). -1
// with errno set when neither can be made.
int open_scratch_file(const std::string& beside);

// Writes `bytes` to `path` through an OutputFile. False with *error set
// ("PATH: reason").
bool write_file(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error);

}  // namespace platform
