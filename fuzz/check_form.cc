// Checks a form for portability: the bytes up to the first NUL are the
// form (the rest, a submission in the seeds, is ignored). Refusals are
// results; only crashes, sanitizer reports and slowness are failures.
//
// dev/fuzz: seeds=form+submission max_len=8192
#include <cstdint>
#include <string_view>

#include "portability/check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  input = input.substr(0, input.find('\0'));
  const auto findings = vindle::check_form_findings(input);
  if (findings) {
    for (const vindle::PortabilityFinding& finding : *findings) {
      (void)vindle::finding_says(finding);
    }
  }
  return 0;
}
