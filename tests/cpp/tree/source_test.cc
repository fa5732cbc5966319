#include "tree/source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vindle {
namespace {

class XmlSource : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(testing::TempDir()) /
           ("vindle_source_" + std::to_string(::getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string write(const std::string& name, const std::string& bytes) {
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::filesystem::path dir_;
};

// The text a load gives, or the failure's message.
std::string loaded(std::string_view argument, const StopCheck& should_stop = {}) {
  const auto text = load_xml_argument(argument, "form", should_stop);
  return text ? std::string(text->view()) : "failed: " + text.error();
}

TEST_F(XmlSource, TextStartingWithATagIsTheXmlItself) {
  const std::string texts[] = {"<data/>", " \n\t<data/>\n", "\u3000\u00a0<a>", "<"};
  for (const auto& text : texts) {
    const auto xml = load_xml_argument(text, "form");
    ASSERT_TRUE(xml.has_value());
    // the argument's own bytes, not a copy of them
    EXPECT_EQ(xml->view().data(), text.data());
    EXPECT_EQ(xml->view().size(), text.size());
  }
}

TEST_F(XmlSource, FilesAreReadWhole) {
  const std::string contents =
      "\xEF\xBB\xBF<?xml version='1.0'?>\n<data>\xc3\xa9\xf0\x9f\x98\x80</data>\n";
  EXPECT_EQ(loaded(write("form.xml", contents)), contents);
  EXPECT_EQ(loaded(write("empty.xml", "")), "");
  EXPECT_EQ(loaded(write("not xml", "hello")), "hello");
  const std::string large(3 << 20, 'x');  // more than one read's worth
  EXPECT_EQ(loaded(write("large.xml", large)), large);
}

TEST_F(XmlSource, TheCallerIsAskedBetweenReadsAndCanStopTheLoad) {
  const std::string path = write("form.xml", "<data/>");
  int asked = 0;
  EXPECT_EQ(loaded(path, [&] { return ++asked, false; }), "<data/>");
  EXPECT_GE(asked, 1);
  EXPECT_EQ(loaded(path, [] { return true; }),
            "failed: form: could not read '" + path + "': Interrupted system call (os error 4)");
  // a device that never ends is given up when the caller says so
  asked = 0;
  EXPECT_EQ(loaded("/dev/zero", [&] { return ++asked == 3; }),
            "failed: form: could not read '/dev/zero': Interrupted system call (os error 4)");
  // XML text is never a file: nobody is asked
  EXPECT_EQ(loaded("<data/>", [] { return true; }), "<data/>");
}

TEST_F(XmlSource, FailuresNameTheArgumentAndTheCause) {
  const std::string missing = (dir_ / "missing.xml").string();
  const std::string present = write("present.xml", "<a/>");
  const std::string not_utf8 = write("latin1.xml", "<a>caf\xe9</a>");
  const std::string surrogate = write("surrogate.xml", "<a>\xed\xa0\x80</a>");
  const std::string truncated = write("truncated.xml", "<a/>\xe2\x82");
  const std::string overlong = write("overlong.xml", "<a>\xc0\xaf</a>");
  const std::string too_high = write("too_high.xml", "<a>\xf4\x90\x80\x80</a>");
  using namespace std::string_literals;
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {missing, "form",
       "form: could not read '" + missing + "': No such file or directory (os error 2)"},
      {"", "form", "form: could not read '': No such file or directory (os error 2)"},
      {"  ", "instance", "instance: could not read '  ': No such file or directory (os error 2)"},
      {present + "\n", "form",
       "form: could not read '" + present + "\n': No such file or directory (os error 2)"},
      {"\xEF\xBB\xBF<data/>", "submission",
       "submission: could not read '\xEF\xBB\xBF<data/>': No such file or directory (os error 2)"},
      {present + "\0x"s, "form",
       "form: could not read '" + present + "\0x"s +
           "': file name contained an unexpected NUL byte"},
      {not_utf8, "submission",
       "submission: could not read '" + not_utf8 + "': stream did not contain valid UTF-8"},
      {surrogate, "form",
       "form: could not read '" + surrogate + "': stream did not contain valid UTF-8"},
      {truncated, "form",
       "form: could not read '" + truncated + "': stream did not contain valid UTF-8"},
      {overlong, "form",
       "form: could not read '" + overlong + "': stream did not contain valid UTF-8"},
      {too_high, "form",
       "form: could not read '" + too_high + "': stream did not contain valid UTF-8"},
      {dir_.string(), "form",
       "form: could not read '" + dir_.string() + "': Is a directory (os error 21)"},
  };
  for (const auto& [argument, name, message] : cases) {
    const auto loaded = load_xml_argument(argument, name);
    ASSERT_FALSE(loaded.has_value()) << argument;
    EXPECT_EQ(loaded.error(), message);
  }
}

}  // namespace
}  // namespace vindle
