#include "process/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "process/signals.h"

namespace platform {
namespace {

std::string folder_of(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links at the end of `path` to the name finally written
// (which need not exist yet). False with errno set (ELOOP) on a cycle.
bool follow_links(std::string path, std::string* out) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *out = path;
      return true;
    }
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
    const ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n < 0) return false;
    target.resize(static_cast<std::size_t>(n));
    path = (target.empty() || target[0] == '/') ? target : folder_of(path) + "/" + target;
  }
  errno = ELOOP;
  return false;
}

// ".NAME.XXXXXX.part" beside the target, the name shortened where the
// target's own name or path is as long as the system allows: any target that
// can be written can be written whole.
std::string temporary_name(const std::string& folder, std::string base) {
  constexpr std::size_t kAdded = sizeof(".XXXXXX.part") - 1 + 1;  // and the leading dot
  const long name_max = pathconf(folder.c_str(), _PC_NAME_MAX);
  const std::size_t fits_name = name_max > 0 ? static_cast<std::size_t>(name_max) : NAME_MAX;
  const std::size_t used = folder.size() + 1;  // the folder and its slash
  const std::size_t fits_path = used < PATH_MAX - 1 ? PATH_MAX - 1 - used : 0;
  const std::size_t room = std::min(fits_name, fits_path);
  base.resize(std::min(base.size(), room > kAdded ? room - kAdded : 0));
  return folder + "/." + base + ".XXXXXX.part";
}

}  // namespace

bool write_all(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

int open_regular_file(const std::string& path, std::string* error) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer. It changes nothing
  // for a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (error) *error = "not a regular file";
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool read_regular_file(const std::string& path, FileContents* contents, std::string* error,
                       std::size_t max_bytes) {
  const int fd = open_regular_file(path, error);
  if (fd < 0) return false;
  struct stat st {};
  fstat(fd, &st);
  // One byte more than the file holds, so that a read sees its end; a file
  // that grows while it is read is followed.
  std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
  std::unique_ptr<char[]> data(new char[capacity]);
  std::size_t size = 0;
  bool ok = true;
  for (;;) {
    if (size > max_bytes) {
      if (error) *error = "file too large";
      ok = false;
      break;
    }
    if (size == capacity) {
      std::unique_ptr<char[]> grown(new char[capacity * 2]);
      std::memcpy(grown.get(), data.get(), size);
      data = std::move(grown);
      capacity *= 2;
    }
    const ssize_t n = ::read(fd, data.get() + size, capacity - size);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = std::strerror(errno);
      ok = false;
      break;
    }
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (!ok) return false;
  contents->data = std::move(data);
  contents->size = size;
  return true;
}

OutputFile::~OutputFile() { abandon(); }

bool OutputFile::set_error(const std::string& reason) {
  error_ = path_ + ": " + reason;
  return false;
}

bool OutputFile::open(const std::string& path) {
  abandon();
  path_ = path;
  error_.clear();
  failure_ = 0;
  if (path.empty()) {
    error_ = "no file name given";
    return false;
  }
  if (path == "-") {
    direct_ = true;
    owns_fd_ = false;
    fd_ = STDOUT_FILENO;
    return true;
  }
  if (!follow_links(path, &target_)) return set_error(std::strerror(errno));

  struct stat st {};
  const bool exists = stat(target_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return set_error("is a folder");
  if (exists && !S_ISREG(st.st_mode)) {
    // A FIFO, a device or a socket: written in place, never replaced. A FIFO
    // nobody reads yet is waited for, saying so; a stop signal ends the wait.
    fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0 && errno == ENXIO && S_ISFIFO(st.st_mode)) {
      std::fprintf(stderr, "%s: %s: waiting for a reader\n", program_invocation_short_name, path.c_str());
      fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    }
    if (fd_ < 0) return set_error(errno == EINTR && stop_signal() != 0 ? stop_description() : std::strerror(errno));
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    direct_ = true;
    owns_fd_ = true;
    return true;
  }

  const std::string folder = folder_of(target_);
  struct stat folder_st {};
  if (stat(folder.c_str(), &folder_st) != 0) {
    return set_error(errno == ENOENT ? "the folder " + folder + " does not exist" : std::strerror(errno));
  }
  if (!S_ISDIR(folder_st.st_mode)) return set_error(folder + " is not a folder");

  std::string name = temporary_name(folder, base_of(target_));
  fd_ = mkostemps(name.data(), 5, O_CLOEXEC);
  if (fd_ < 0) return set_error(std::strerror(errno));
  temporary_ = name;
  direct_ = false;
  owns_fd_ = true;
  slot_ = register_temporary(temporary_.c_str());
  // The finished file gets the target's permissions, or those of a new file.
  mode_t mode = 0;
  if (exists) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd_, mode);
  return true;
}

std::FILE* OutputFile::stream() {
  if (stream_ || fd_ < 0) return stream_;
  // Standard output is written through a duplicate, so closing the stream
  // leaves the process's own descriptor open.
  const int fd = owns_fd_ ? fd_ : dup(fd_);
  stream_ = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (stream_) {
    fd_ = fd;
    owns_fd_ = true;
  } else if (fd != fd_ && fd >= 0) {
    ::close(fd);
  }
  return stream_;
}

void OutputFile::fail(int error_code) {
  if (failure_ == 0) failure_ = error_code;
}

void OutputFile::close_stream() {
  if (stream_) {
    if (std::fclose(stream_) != 0) fail(errno);
    stream_ = nullptr;
    fd_ = -1;
  } else if (fd_ >= 0) {
    if (owns_fd_ && ::close(fd_) != 0) fail(errno);
    fd_ = -1;
  }
}

bool OutputFile::commit() {
  if (fd_ < 0 && !stream_) return set_error("not open");
  if (stream_ && std::fflush(stream_) != 0) fail(errno);
  if (!direct_ && failure_ == 0 && fdatasync(fd_) != 0) fail(errno);
  close_stream();
  if (failure_ == 0 && !direct_ && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    // The temporary file may already be gone: a stop signal removes it.
    fail(errno);
  }
  if (failure_ != 0) {
    const int code = failure_;
    abandon();
    return set_error(std::strerror(code));
  }
  unregister_temporary(slot_);
  slot_ = -1;
  temporary_.clear();
  return true;
}

void OutputFile::abandon() {
  close_stream();
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  unregister_temporary(slot_);
  slot_ = -1;
}

int open_scratch_file(const std::string& beside) {
  int fd = beside.empty() ? -1 : ::open(folder_of(beside).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  const char* tmp = std::getenv("TMPDIR");
  std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/velmora-scratch-XXXXXX";
  fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

bool write_file(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error) {
  OutputFile out;
  bool ok = out.open(path);
  if (ok && !write_all(out.fd(), bytes.data(), bytes.size())) out.fail(errno);
  ok = ok && out.commit();
  if (!ok && error) *error = out.error();
  return ok;
}

}  // namespace platform
