// How the host reads a gauge's element tree: the drawing order, failure
// actions, icon frames, needle angles. Pure functions over the records.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/records.h"

namespace talvor {

// The root, then each element of its next-element list, each followed at
// once by its own list (depth first). Throws std::runtime_error when the
// tree is malformed (an unknown kind, an element reached twice, absurd size).
std::vector<ELEMENT_HEADER*> DrawingOrder(ELEMENT_HEADER* root, const std::string& gauge_name);

// The strongest action of the failures that hold: 3 (not drawn) over 2
// (drawn as if the value were 0) over 0.
uint32_t FailureAction(const FAILURE_RECORD* list, const std::function<bool(uint32_t key)>& holds);

// The frame an icon shows for a value: floor(value) when 0 <= frame <
// frame_count; nothing for anything else, NaN and infinities included.
std::optional<int> IconFrame(double value, uint32_t frame_count);

// A needle's angle for a value, in radians, clockwise on screen from
// pointing right. Each table point's direction from `position` is written
// into its `angle` field (radians), consecutive points unwrapped the short
// way; the value is clamped to the table's range and interpolated linearly.
// NaN reads as the first point's value. An empty table gives 0.
double NeedleAngle(NONLINEARITY* table, uint32_t table_size, PIXPOINT position, double value);

// Limits on what a module's records may ask of the host.
constexpr size_t kMaxElements = 4096;
constexpr uint32_t kMaxNeedlePoints = 1024;
constexpr size_t kMaxFailureRecords = 256;

}  // namespace talvor
