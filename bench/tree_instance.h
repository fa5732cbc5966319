// The instance the tree benchmarks read: a submission-like document, a
// root with a repeat of rows, five answers per row with short texts, some
// attributes and entities, indented as exported instances often are.
// 100,000 rows make about 21 MB.
#pragma once

#include <string>

namespace bench {

inline std::string make_instance(int rows) {
  static const char* const kNames[] = {"Amina Okafor", "José Ramírez", "Li Wei",
                                       "Fatuma Njeri", "Олег Петров", "Grace O'Neil"};
  static const char* const kVillages[] = {"Kisumu", "Mbale &amp; district", "Gulu",
                                          "Tamale", "Nakuru (north)"};
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<data xmlns:jr=\"http://openrosa.org/javarosa\" id=\"household_survey\" "
      "version=\"2024061201\">\n"
      "  <start>2024-06-12T08:15:00.000+03:00</start>\n"
      "  <today>2024-06-12</today>\n";
  for (int i = 0; i < rows; ++i) {
    xml += "  <member jr:index=\"";
    xml += std::to_string(i + 1);
    xml += "\">\n    <name>";
    xml += kNames[i % 6];
    xml += "</name>\n    <age>";
    xml += std::to_string(18 + i % 60);
    xml += "</age>\n    <village code=\"V";
    xml += std::to_string(i % 97);
    xml += "\">";
    xml += kVillages[i % 5];
    xml += "</village>\n    <consent>";
    xml += i % 7 == 0 ? "no" : "yes";
    xml += "</consent>\n    <notes>";
    xml += i % 3 == 0 ? "" : "Lives with 3 others; water from borehole &lt;1 km";
    xml += "</notes>\n  </member>\n";
  }
  xml += "  <meta>\n    <instanceID>uuid:6f1c2a8e-31b4-4d5e-9a2f-0c7d8e9f1a2b</instanceID>\n"
         "  </meta>\n</data>\n";
  return xml;
}

}  // namespace bench
