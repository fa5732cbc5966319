// Judges a submission against a form, both from the input: the bytes up to
// the first NUL are the form, the rest the submission (without a NUL, the
// form's text serves as the submission too). Refusals are results; only
// crashes, sanitizer reports and slowness are failures.
//
// dev/fuzz: seeds=form+submission max_len=8192
#include <cstdint>
#include <string_view>

#include "rules/form.h"
#include "rules/judgement.h"
#include "tree/document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view form_text = input.substr(0, split);
  const std::string_view submission_text =
      split == std::string_view::npos ? form_text : input.substr(split + 1);

  const auto form = vindle::Form::load(form_text);
  if (!form) return 0;
  const auto submission = vindle::Document::parse(submission_text);
  if (!submission) return 0;
  for (const vindle::SubmissionFinding& finding :
       vindle::judge_submission(*form, *submission, "2024-05-06", "2024-05-06T10:00:00.000Z")) {
    (void)finding.fmt();
  }
  return 0;
}
