// The bodies of the library's functions, grouped by the file that holds
// them. Each is called after the argument count has been checked.
#pragma once

#include "functions/library.h"

namespace vindle::functions {

using Body = EvalResult (*)(const CallContext&);

// Logical and numeric functions.
EvalResult fn_if(const CallContext&);
EvalResult fn_not(const CallContext&);
EvalResult fn_boolean(const CallContext&);
EvalResult fn_true(const CallContext&);
EvalResult fn_false(const CallContext&);
EvalResult fn_boolean_from_string(const CallContext&);
EvalResult fn_number(const CallContext&);
EvalResult fn_int(const CallContext&);
EvalResult fn_abs(const CallContext&);
EvalResult fn_sqrt(const CallContext&);
EvalResult fn_floor(const CallContext&);
EvalResult fn_ceiling(const CallContext&);
EvalResult fn_log(const CallContext&);
EvalResult fn_log10(const CallContext&);
EvalResult fn_exp(const CallContext&);
EvalResult fn_round(const CallContext&);
EvalResult fn_pow(const CallContext&);
EvalResult fn_min(const CallContext&);
EvalResult fn_max(const CallContext&);
EvalResult fn_sum(const CallContext&);
EvalResult fn_count(const CallContext&);
EvalResult fn_position(const CallContext&);
EvalResult fn_last(const CallContext&);

// String functions.
EvalResult fn_string(const CallContext&);
EvalResult fn_string_length(const CallContext&);
EvalResult fn_normalize_space(const CallContext&);
EvalResult fn_concat(const CallContext&);
EvalResult fn_substring(const CallContext&);
EvalResult fn_substr(const CallContext&);
EvalResult fn_substring_before(const CallContext&);
EvalResult fn_substring_after(const CallContext&);
EvalResult fn_contains(const CallContext&);
EvalResult fn_starts_with(const CallContext&);
EvalResult fn_ends_with(const CallContext&);
EvalResult fn_translate(const CallContext&);
EvalResult fn_join(const CallContext&);
EvalResult fn_coalesce(const CallContext&);
EvalResult fn_regex(const CallContext&);

// Node, selection, choice, lookup and clock functions.
EvalResult fn_name(const CallContext&);  // also local-name
EvalResult fn_selected(const CallContext&);
EvalResult fn_selected_at(const CallContext&);
EvalResult fn_count_selected(const CallContext&);
EvalResult fn_choice_name(const CallContext&);
EvalResult fn_once(const CallContext&);
EvalResult fn_pulldata(const CallContext&);
EvalResult fn_today(const CallContext&);
EvalResult fn_now(const CallContext&);

// Date functions: format-date and format-date-time share one body.
EvalResult fn_format_date(const CallContext&);

// Geographic functions.
EvalResult fn_distance(const CallContext&);
EvalResult fn_area(const CallContext&);

}  // namespace vindle::functions
