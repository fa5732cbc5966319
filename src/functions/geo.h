// Lengths and areas of what a form's geopoint, geotrace and geoshape
// answers hold: points separated by ";", each "latitude longitude altitude
// accuracy" in degrees and metres. Only latitude and longitude are kept.
#pragma once

#include <vector>

#include "eval/value.h"
#include "tree/document.h"

namespace vindle {

struct GeoPoint {
  double latitude;
  double longitude;
};

// The points of the value's text, in order; empty when any piece is not a
// point, so that a half-read trace never passes for a shorter one. A
// node-set gives the points of all its nodes, in document order.
std::vector<GeoPoint> parse_geo_points(const Value& value, const Document& document);

// Metres between two points on a sphere of the earth's radius.
double great_circle_distance(double latitude1, double longitude1, double latitude2,
                             double longitude2);

// Square metres inside the points, taken as a ring; 0 below three points.
double polygon_area(const std::vector<GeoPoint>& points);

}  // namespace vindle
