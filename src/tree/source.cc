#include "tree/source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "tree/text.h"

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

std::expected<std::string, std::string> read_file(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::unexpected(os_error(errno));

  // Read straight into the result, sized from the file when it has a size
  // (one byte more, so that the end shows without a second allocation).
  std::string contents;
  struct stat status;
  std::size_t capacity = 65536;
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
    capacity = static_cast<std::size_t>(status.st_size) + 1;
  }
  contents.resize(capacity);
  std::size_t length = 0;
  int failure = 0;
  while (true) {
    if (length == contents.size()) contents.resize(contents.size() * 2);
    const ssize_t got = ::read(fd, contents.data() + length, contents.size() - length);
    if (got > 0) {
      length += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      failure = errno;
      break;
    }
  }
  contents.resize(length);
  ::close(fd);
  if (failure != 0) return std::unexpected(os_error(failure));
  if (!is_valid_utf8(contents)) return std::unexpected("stream did not contain valid UTF-8");
  return contents;
}

}  // namespace

std::expected<std::string, std::string> load_xml_argument(std::string_view argument,
                                                           std::string_view argument_name) {
  if (trim_start(argument).starts_with('<')) return std::string(argument);

  std::expected<std::string, std::string> contents;
  if (argument.find('\0') != std::string_view::npos) {
    contents = std::unexpected("file name contained an unexpected NUL byte");
  } else {
    contents = read_file(std::string(argument));
  }
  if (contents) return contents;
  std::string message(argument_name);
  message += ": could not read '";
  message += argument;
  message += "': ";
  message += contents.error();
  return std::unexpected(std::move(message));
}

}  // namespace vindle
