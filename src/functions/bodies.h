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

}  // namespace vindle::functions
