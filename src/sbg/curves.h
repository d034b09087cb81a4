// Curves on the session's own time axis (ms) before they are cut into
// segments: nodes with the engine's weights (10 a straight line), cut and
// fitted so that each segment's curve follows the same course.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace sbg {

struct GNode {
  double T = 0;  // ms
  double V = 0;  // stored units, not rounded yet
  int W = 10;    // weight of the interval to the next node
};
using Curve = std::vector<GNode>;

// The value a weight gives at fraction x (0-1) of an interval from v0 to v1,
// as the engine's 21-point polyline has it.
double WeightedValue(double v0, double v1, int w, double x);
// The weight whose course from v0 to v1 comes nearest to ideal(x), x in 0-1.
int FitWeight(double v0, double v1, const std::function<double(double)>& ideal);
// The curve's value just after t (right) or just before t (left); flat before
// the first node and after the last.
double ValueAfter(const Curve& c, double t);
double ValueBefore(const Curve& c, double t);
// Drops nodes that add nothing: repeats, the inner nodes of a flat run and
// nodes on the straight line between their neighbours.
void Simplify(Curve& c);
// The nodes of [s, e] (first at s, last at e), the intervals cut at s or e
// fitted again to the course they had.
Curve Slice(const Curve& c, double s, double e);
// How many nodes Slice(c, s, e) has.
int SliceCount(const Curve& c, double s, double e);

}  // namespace sbg
