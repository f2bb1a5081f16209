#include "emulator/elements.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <unordered_set>

namespace talvor {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

std::vector<ELEMENT_HEADER*> DrawingOrder(ELEMENT_HEADER* root, const std::string& gauge_name) {
  std::vector<ELEMENT_HEADER*> order;
  if (root == nullptr) throw std::runtime_error("gauge '" + gauge_name + "' has no root element");
  std::unordered_set<const ELEMENT_HEADER*> seen;
  // Explicit stack of (list, next index) so that a deep chain cannot exhaust
  // the call stack.
  struct Frame {
    ELEMENT_HEADER** list;
    size_t next;
  };
  std::vector<Frame> stack;
  auto visit = [&](ELEMENT_HEADER* e) {
    if (order.size() >= kMaxElements) {
      throw std::runtime_error("gauge '" + gauge_name + "' has more than " + std::to_string(kMaxElements) +
                               " elements");
    }
    if (!seen.insert(e).second) {
      throw std::runtime_error("gauge '" + gauge_name + "': element " + std::to_string(order.size() + 1) +
                               " in drawing order was already drawn (the element lists form a loop)");
    }
    if (e->kind > kElementSlider) {
      throw std::runtime_error("gauge '" + gauge_name + "': element " + std::to_string(order.size() + 1) +
                               " has unknown kind " + std::to_string(e->kind));
    }
    order.push_back(e);
    if (e->next_elements != nullptr) stack.push_back({e->next_elements, 0});
  };
  visit(root);
  while (!stack.empty()) {
    Frame& top = stack.back();
    ELEMENT_HEADER* e = top.list[top.next];
    if (e == nullptr) {
      stack.pop_back();
      continue;
    }
    ++top.next;
    visit(e);  // may push; `top` is not used after this
  }
  return order;
}

uint32_t FailureAction(const FAILURE_RECORD* list, const std::function<bool(uint32_t)>& holds) {
  uint32_t action = kFailActionNone;
  if (list == nullptr) return action;
  for (size_t i = 0; i < kMaxFailureRecords && list[i].key != 0; ++i) {
    if (!holds(list[i].key)) continue;
    if (list[i].action == kFailActionHide) return kFailActionHide;
    if (list[i].action == kFailActionZero) action = kFailActionZero;
  }
  return action;
}

std::optional<int> IconFrame(double value, uint32_t frame_count) {
  if (!std::isfinite(value)) return std::nullopt;
  const double frame = std::floor(value);
  const double limit = std::fmin(static_cast<double>(frame_count),
                                 static_cast<double>(std::numeric_limits<int>::max()));
  if (frame < 0.0 || frame >= limit) return std::nullopt;
  return static_cast<int>(frame);
}

double NeedleAngle(NONLINEARITY* table, uint32_t table_size, PIXPOINT position, double value) {
  if (table == nullptr || table_size == 0) return 0.0;
  const uint32_t n = table_size < kMaxNeedlePoints ? table_size : kMaxNeedlePoints;
  double previous = 0.0;
  for (uint32_t i = 0; i < n; ++i) {
    double a = std::atan2(static_cast<double>(table[i].point.y) - position.y,
                          static_cast<double>(table[i].point.x) - position.x);
    if (i > 0) {
      // The short way from the previous point: a step within (-pi, pi].
      double step = std::remainder(a - previous, 2.0 * kPi);
      if (step == -kPi) step = kPi;
      a = previous + step;
    }
    table[i].angle = a;
    previous = a;
  }
  if (n == 1) return table[0].angle;

  if (std::isnan(value)) value = table[0].value;
  // Clamp to the table's range, whichever way its values run.
  const double first = table[0].value;
  const double last = table[n - 1].value;
  const double lo = std::fmin(first, last);
  const double hi = std::fmax(first, last);
  if (value < lo) value = lo;
  if (value > hi) value = hi;
  for (uint32_t i = 0; i + 1 < n; ++i) {
    const double v0 = table[i].value;
    const double v1 = table[i + 1].value;
    if (!(std::fmin(v0, v1) <= value && value <= std::fmax(v0, v1))) continue;
    if (v1 == v0) return table[i].angle;
    const double t = (value - v0) / (v1 - v0);
    return table[i].angle + t * (table[i + 1].angle - table[i].angle);
  }
  return value == last ? table[n - 1].angle : table[0].angle;
}

}  // namespace talvor
