// XML arguments: every form, submission and saved instance reaches the
// system as one string that is either the XML text itself or the path of a
// UTF-8 file holding it. This is the only place that reads files.
#pragma once

#include <expected>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace vindle {

// The XML text of an argument: a view of the argument itself when it is
// XML text (valid as long as the argument's own storage), or the bytes of
// the file it names, held here. Nothing is copied on the way.
class XmlText {
 public:
  static XmlText of_argument(std::string_view argument) { return XmlText(argument, {}, false); }
  static XmlText of_file(std::string bytes) { return XmlText({}, std::move(bytes), true); }

  std::string_view view() const { return from_file_ ? std::string_view(file_) : argument_; }

 private:
  XmlText(std::string_view argument, std::string file, bool from_file)
      : argument_(argument), file_(std::move(file)), from_file_(from_file) {}

  std::string_view argument_;
  std::string file_;
  bool from_file_;
};

// Asked while a file is opened and read, so that a pipe nobody writes to or
// a device that never ends can be given up: after an open or a read that a
// signal interrupted, and after every read that brought bytes. True gives
// the load up, as an interrupted call; false resumes it. The loader knows
// nothing of what the caller does with signals.
using StopCheck = std::function<bool()>;

// The XML text of an argument. One whose first character after leading
// white space is "<" is XML text and comes back whole, white space and all;
// anything else (the empty string included) is a path, used untrimmed, and
// the file's bytes come back unchanged once found to be valid UTF-8.
//
// A failure gives "{argument_name}: could not read '{argument}': {error}";
// a load given up by `should_stop` gives the error of an interrupted call.
std::expected<XmlText, std::string> load_xml_argument(std::string_view argument,
                                                      std::string_view argument_name,
                                                      const StopCheck& should_stop = {});

}  // namespace vindle
