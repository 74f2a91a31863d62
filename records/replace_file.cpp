#include "records/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zp::records {

std::string ErrnoText(const std::string& what, const std::filesystem::path& path) {
  return what + " " + path.string() + ": " + std::strerror(errno);
}

std::optional<std::string> ReplaceFile(const std::filesystem::path& target,
                                       const std::string& data) {
  std::string temp = target.string() + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return ErrnoText("Cannot create a file beside", target);
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) {
    ::fchmod(fd, old.st_mode & 07777);
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
      [[maybe_unused]] const int kept_owner = ::fchown(fd, old.st_uid, old.st_gid);
    }
  } else {
    ::fchmod(fd, 0644);
  }
  auto fail = [&](const std::string& what) {
    std::string text = ErrnoText(what, temp);
    ::close(fd);
    ::unlink(temp.c_str());
    return std::optional<std::string>(std::move(text));
  };
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail("Cannot write");
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) return fail("Cannot flush");
  if (::close(fd) != 0) {
    std::string text = ErrnoText("Cannot close", temp);
    ::unlink(temp.c_str());
    return text;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    std::string text = ErrnoText("Cannot replace", target);
    ::unlink(temp.c_str());
    return text;
  }
  // Make the rename itself survive a crash.
  const auto dir = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  const int dir_fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    ::fsync(dir_fd);
    ::close(dir_fd);
  }
  return std::nullopt;
}

}  // namespace zp::records
