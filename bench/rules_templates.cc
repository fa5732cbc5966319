// Opening a session on a form whose primary instance holds many repeat
// templates: `<data><x/>` followed by T copies of `<r jr:template=""/>`,
// for T = 8,000, 16,000 and 32,000. Every template is keyed by its slash
// path as the templates before it leave the instance, and taken out of it;
// the cost should grow with T, not with its square. Timed whole (the form
// is read twice, for the form and for its primary instance), and the
// templates' collection alone, on a primary instance read beforehand. The
// best of five of each size (one round of a size that took over five
// seconds), the sizes taking turns, and the growth from 8,000 to 32,000.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rules/form.h"
#include "rules/session.h"
#include "rules/templates.h"
#include "timing.h"

namespace {

using bench::cpu_seconds;

std::string make_form(int templates) {
  std::string instance = "<data><x/>";
  for (int t = 0; t < templates; ++t) instance += "<r jr:template=\"\"/>";
  instance += "</data>";
  return "<h:html xmlns:h=\"http://www.w3.org/1999/xhtml\" "
         "xmlns:jr=\"http://openrosa.org/javarosa\"><h:head><model><instance>" +
         instance + "</instance><bind nodeset=\"/data/x\"/></model></h:head><h:body/></h:html>";
}

double open_seconds(const std::string& form_text) {
  const double start = cpu_seconds();
  auto session = vindle::Session::from_form(form_text, "", "");
  const double seconds = cpu_seconds() - start;
  if (!session) {
    std::fprintf(stderr, "session refused: %s\n", session.error().c_str());
    std::exit(1);
  }
  if (session->instance_xml() != "<?xml version='1.0' ?><data><x/></data>") {
    std::fprintf(stderr, "templates left in the instance\n");
    std::exit(1);
  }
  return seconds;
}

double collect_seconds(const std::string& form_text) {
  auto instance = vindle::Form::primary_instance(form_text);
  if (!instance) {
    std::fprintf(stderr, "no primary instance: %s\n", instance.error().c_str());
    std::exit(1);
  }
  const double start = cpu_seconds();
  const vindle::TemplateMap templates = vindle::collect_repeat_templates(*instance);
  const double seconds = cpu_seconds() - start;
  if (templates.size() != 1) {
    std::fprintf(stderr, "%zu keys\n", templates.size());
    std::exit(1);
  }
  return seconds;
}

}  // namespace

int main() {
  constexpr int kSizes = 3;
  const int sizes[kSizes] = {8000, 16000, 32000};
  std::string forms[kSizes];
  for (int k = 0; k < kSizes; ++k) forms[k] = make_form(sizes[k]);
  double whole[kSizes] = {1e300, 1e300, 1e300};
  double alone[kSizes] = {1e300, 1e300, 1e300};
  for (int round = 0; round < 5; ++round) {
    for (int k = 0; k < kSizes; ++k) {
      if (whole[k] > 5.0 && whole[k] < 1e300) continue;
      whole[k] = std::min(whole[k], open_seconds(forms[k]));
      alone[k] = std::min(alone[k], collect_seconds(forms[k]));
    }
  }
  for (int k = 0; k < kSizes; ++k) {
    std::printf("%6d templates (%4zu KB): Session(form) %9.1f ms, the templates alone %9.1f ms\n",
                sizes[k], forms[k].size() / 1024, whole[k] * 1e3, alone[k] * 1e3);
  }
  std::printf("32,000 / 8,000 templates: Session(form) %.2fx, the templates alone %.2fx\n",
              whole[2] / whole[0], alone[2] / alone[0]);
  return 0;
}
