// Repeat templates: the rows a form's primary instance holds only as the
// pattern for new rows. An element below the instance's root that carries an
// attribute named "template" (any prefix, any value) is one. Taken out of the
// instance, each becomes a clean copy stored under the repeat's path, from
// which a session adds rows; the instance keeps only real rows.
#pragma once

#include "rules/form.h"
#include "tree/document.h"

namespace vindle {

// Repeat path to template; each template's root is a copy of the template
// element without its "template" attributes, numbered.
using TemplateMap = TextMap<Document>;

// Removes every template element from the instance (which must have a root)
// and returns the templates, keyed by the element's slash path without its
// final "[n]": a template that is the first of several same-named siblings,
// /data/rep[1], is keyed /data/rep. A later template with the same key
// replaces an earlier one. The instance is renumbered.
//
// A template nested inside another template is keyed by its names from the
// root with every position left out (/data/outer/inner), and no stored copy
// holds a template element: a row added from the outer template brings no
// pattern row of the inner repeat along.
TemplateMap collect_repeat_templates(Document& instance);

}  // namespace vindle
