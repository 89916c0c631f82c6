// ByteBuffer's file transfer: load_file and save_file move a file in chunks.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "containers/byte_buffer.h"

namespace {

int64_t chunk_or_default(int64_t chunk) { return chunk <= 1 ? ByteBuffer::kDefaultChunk : chunk; }

// Reads up to `size` bytes; the count read, 0 at the end of the file, -1 on
// an error.
ssize_t read_some(int fd, char* into, size_t size) {
  ssize_t got;
  do {
    got = ::read(fd, into, size);
  } while (got < 0 && errno == EINTR);
  return got;
}

bool write_all(int fd, const char* from, size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, from, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    from += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

}  // namespace

bool ByteBuffer::load_file(const std::string& name, int64_t chunk) {
  chunk = chunk_or_default(chunk);
  clear();
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  bool ok = ::fstat(fd, &status) == 0;
  const int64_t file_length = ok ? status.st_size : 0;
  std::string piece;
  // The total advances by what was read, so a short read loses nothing.
  for (int64_t total = 0; ok && total < file_length;) {
    piece.resize(static_cast<size_t>(std::min(chunk, file_length - total)));
    const ssize_t got = read_some(fd, piece.data(), piece.size());
    if (got <= 0) {
      ok = got == 0;  // the file shrank since it was opened: keep what was read
      break;
    }
    const int32_t before = size();
    ok = append(std::string_view(piece.data(), static_cast<size_t>(got))) - before == got;
    total += got;
  }
  ::close(fd);
  return ok;
}

bool ByteBuffer::save_file(const std::string& name, int64_t chunk) const {
  chunk = chunk_or_default(chunk);
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = true;
  for (int64_t total = 0; ok && total < length; total += chunk) {
    ok = write_all(fd, data + total, static_cast<size_t>(std::min(chunk, length - total)));
  }
  // A failed close can be the first report of a failed write.
  return ::close(fd) == 0 && ok;
}
