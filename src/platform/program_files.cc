#include "platform/program_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

std::string program_directory() {
  std::error_code failure;
  std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", failure);
  if (failure || executable.empty()) {
    std::filesystem::path here = std::filesystem::current_path(failure);
    return failure ? std::string(".") : here.string();
  }
  return executable.parent_path().string();
}

namespace {

constexpr size_t kGatherBytes = size_t{1} << 20;

bool fail(std::string* error, const std::string& what) {
  if (error != nullptr) *error = what + ": " + std::strerror(errno);
  return false;
}

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

bool write_whole_file(const std::string& path, std::string_view bytes, std::string* error) {
  return write_file_in_parts(
      path, [bytes](const FilePartWriter& write) { return write(bytes); }, error);
}

bool write_file_in_parts(const std::string& path,
                         const std::function<bool(const FilePartWriter&)>& produce,
                         std::string* error) {
  // A name of its own per process and call, so two writers never share one;
  // O_EXCL refuses a name left behind by a crashed run.
  static std::atomic<unsigned> counter{0};
  std::string temporary = path + ".part" + std::to_string(::getpid()) + "-" +
                          std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return fail(error, "cannot create the file");
  // Small parts (a chapter, a line break) are gathered so that the file gets
  // a few large writes rather than one per part.
  std::string pending;
  pending.reserve(kGatherBytes);
  bool ok = produce([&](std::string_view part) {
    if (pending.size() + part.size() > kGatherBytes) {
      if (!write_all(fd, pending)) return false;
      pending.clear();
    }
    if (part.size() >= kGatherBytes) return write_all(fd, part);
    pending.append(part);
    return true;
  });
  int saved = errno;
  if (ok) {
    ok = write_all(fd, pending) && ::fsync(fd) == 0;
    saved = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
  if (ok) saved = errno;
  ::unlink(temporary.c_str());
  errno = saved;
  return fail(error, ok ? "cannot replace the file" : "cannot write the file");
}
