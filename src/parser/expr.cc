#include "parser/expr.h"

namespace vindle {

const char* axis_name(Axis axis) {
  switch (axis) {
    case Axis::Child: return "child";
    case Axis::Parent: return "parent";
    case Axis::Self: return "self";
    case Axis::Descendant: return "descendant";
    case Axis::DescendantOrSelf: return "descendant-or-self";
    case Axis::Ancestor: return "ancestor";
    case Axis::AncestorOrSelf: return "ancestor-or-self";
    case Axis::Attribute: return "attribute";
    case Axis::Following: return "following";
    case Axis::FollowingSibling: return "following-sibling";
    case Axis::Preceding: return "preceding";
    case Axis::PrecedingSibling: return "preceding-sibling";
  }
  return "?";
}

}  // namespace vindle
