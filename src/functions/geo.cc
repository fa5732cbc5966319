#include "functions/geo.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "functions/bodies.h"
#include "functions/words.h"
#include "text/number.h"
#include "text/unicode.h"

namespace vindle {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kEarthRadius = 6378100;
constexpr double kEquator = 40074784.20772212;  // metres per 360 degrees

// Whether parse_decimal read a number, rather than giving up: it gives NaN
// for both, and a written "nan" is a number.
bool is_number_text(std::string_view field, double parsed) {
  if (!std::isnan(parsed)) return true;
  if (field.starts_with('+') || field.starts_with('-')) field.remove_prefix(1);
  if (field.size() != 3) return false;
  return (field[0] | 0x20) == 'n' && (field[1] | 0x20) == 'a' && (field[2] | 0x20) == 'n';
}

// The text of a trace that a value holds. A node-set is the points
// answered across its nodes, as a walk's stops are answered in the rows of
// a repeat: the string-values of all its nodes in document order, joined
// with ";". Any other value is its string.
std::string geo_text(const Value& value, const Document& document) {
  if (!value.is_node_set()) return value_to_string(value, document);
  const NodeSet& ids = value.nodes();
  std::string text;
  std::string scratch;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) text += ';';
    text += document.string_value_view(ids[i], scratch);
  }
  return text;
}

std::vector<GeoPoint> parse_geo_text(std::string_view text) {
  std::vector<GeoPoint> points;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t semicolon = rest.find(';');
    const std::string_view piece = trim(rest.substr(0, semicolon));
    rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    if (piece.empty()) continue;
    const std::vector<std::string_view> fields = functions::split_words(piece);
    if (fields.size() < 2) return {};
    // A coordinate is a decimal; a field that reads as a date is none.
    const double latitude = parse_decimal(fields[0]);
    const double longitude = parse_decimal(fields[1]);
    if (!is_number_text(fields[0], latitude) || !is_number_text(fields[1], longitude)) return {};
    points.push_back({latitude, longitude});
  }
  return points;
}

}  // namespace

std::vector<GeoPoint> parse_geo_points(const Value& value, const Document& document) {
  return parse_geo_text(geo_text(value, document));
}

double great_circle_distance(double latitude1, double longitude1, double latitude2,
                             double longitude2) {
  // The spherical law of cosines, with the operations in a fixed order so
  // that results match to the last bit.
  const double phi1 = latitude1 * kRadiansPerDegree;
  const double phi2 = latitude2 * kRadiansPerDegree;
  const double delta_lambda = kRadiansPerDegree * longitude2 - longitude1 * kRadiansPerDegree;
  double c = std::cos(delta_lambda) * (std::cos(phi2) * std::cos(phi1)) +
             std::sin(phi2) * std::sin(phi1);
  // Rounding can push c just past ±1, where acos has no value.
  if (c > 1) c = 1;
  if (c < -1) c = -1;
  return std::acos(c) * kEarthRadius;
}

double polygon_area(const std::vector<GeoPoint>& points) {
  if (points.size() < 3) return 0;
  const GeoPoint origin = points.front();
  const auto x_of = [&](const GeoPoint& p) {
    return std::cos(p.latitude * kRadiansPerDegree) *
           ((p.longitude - origin.longitude) * kEquator) / 360;
  };
  const auto y_of = [&](const GeoPoint& p) {
    return ((p.latitude - origin.latitude) * kEquator) / 360;
  };
  // The origin is (0, 0), so the closing term from the last point back to
  // the first is always zero and is left out.
  double sum = 0;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    sum += 0.5 * (y_of(points[i]) * x_of(points[i + 1]) - x_of(points[i]) * y_of(points[i + 1]));
  }
  return std::fabs(sum);
}

namespace functions {

EvalResult fn_distance(const CallContext& call) {
  auto value = arg_value(call, 0);
  if (!value) return value;
  // Several arguments are the points of one path, one (or one trace, or the
  // nodes of a repeat) each: their texts joined as a single trace would be.
  std::string trace = geo_text(*value, call.document);
  for (std::size_t i = 1; i < call.arguments.size(); ++i) {
    auto next = arg_value(call, i);
    if (!next) return next;
    trace += ';';
    trace += geo_text(*next, call.document);
  }
  const std::vector<GeoPoint> points = parse_geo_text(trace);
  double total = 0;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    total += great_circle_distance(points[i].latitude, points[i].longitude,
                                   points[i + 1].latitude, points[i + 1].longitude);
  }
  return Value::Number(total);
}

EvalResult fn_area(const CallContext& call) {
  auto value = arg_value(call, 0);
  if (!value) return value;
  return Value::Number(polygon_area(parse_geo_points(*value, call.document)));
}

}  // namespace functions

}  // namespace vindle
