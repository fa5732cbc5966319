// XML arguments: every form, submission and saved instance reaches the
// system as one string that is either the XML text itself or the path of a
// UTF-8 file holding it. This is the only place that reads files.
#pragma once

#include <expected>
#include <string>
#include <string_view>

namespace vindle {

// The XML text of an argument. One whose first character after leading
// white space is "<" is XML text and comes back whole, white space and all;
// anything else (the empty string included) is a path, used untrimmed, and
// the file's bytes come back unchanged once found to be valid UTF-8.
//
// A failure gives "{argument_name}: could not read '{argument}': {error}".
std::expected<std::string, std::string> load_xml_argument(std::string_view argument,
                                                           std::string_view argument_name);

}  // namespace vindle
