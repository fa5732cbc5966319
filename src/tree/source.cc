#include "tree/source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "text/unicode.h"

namespace vindle {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    // Runs of ASCII are by far the most common; take them eight at a time.
    while (i + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i, 8);
      if (word & 0x8080808080808080ULL) break;
      i += 8;
    }
    if (i >= size) break;
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (size - i < length) return false;
    if (bytes[i + 1] < low || bytes[i + 1] > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

std::string os_error(int error) {
  return std::error_code(error, std::generic_category()).message() + " (os error " +
         std::to_string(error) + ")";
}

// Closes the file on every way out, a failed allocation included.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { ::close(fd_); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::expected<std::string, std::string> read_file(const std::string& path,
                                                  const StopCheck& should_stop) {
  const auto stop = [&should_stop] { return should_stop && should_stop(); };
  int opened;
  while ((opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
    // Opening a pipe waits for a writer; a signal may end the wait.
    if (errno != EINTR) return std::unexpected(os_error(errno));
    if (stop()) return std::unexpected(os_error(EINTR));
  }
  const FileDescriptor file(opened);

  // Read straight into the result, sized from the file when it has a size
  // (one byte more, so that the end shows without a second allocation).
  // Room that a read is about to fill is not cleared first.
  std::size_t room = 65536;
  struct stat status;
  if (::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
    room = static_cast<std::size_t>(status.st_size) + 1;
  }
  std::string contents;
  while (true) {
    const std::size_t length = contents.size();
    if (length == room) room *= 2;
    ssize_t got = 0;
    int failure = 0;
    contents.resize_and_overwrite(room, [&](char* data, std::size_t size) noexcept {
      got = ::read(file.get(), data + length, size - length);
      if (got < 0) failure = errno;
      return length + (got > 0 ? static_cast<std::size_t>(got) : 0);
    });
    if (got == 0) break;
    if (got < 0 && failure != EINTR) return std::unexpected(os_error(failure));
    // A device that never ends (/dev/zero) fills memory without a pause:
    // the caller is asked after every read, not only after interruptions.
    if (stop()) return std::unexpected(os_error(EINTR));
  }
  if (!is_valid_utf8(contents)) return std::unexpected("stream did not contain valid UTF-8");
  return contents;
}

}  // namespace

std::expected<XmlText, std::string> load_xml_argument(std::string_view argument,
                                                      std::string_view argument_name,
                                                      const StopCheck& should_stop) {
  if (trim_start(argument).starts_with('<')) return XmlText::of_argument(argument);

  std::expected<std::string, std::string> contents;
  if (argument.find('\0') != std::string_view::npos) {
    contents = std::unexpected("file name contained an unexpected NUL byte");
  } else {
    contents = read_file(std::string(argument), should_stop);
  }
  if (contents) return XmlText::of_file(std::move(*contents));
  std::string message(argument_name);
  message += ": could not read '";
  message += argument;
  message += "': ";
  message += contents.error();
  return std::unexpected(std::move(message));
}

}  // namespace vindle
