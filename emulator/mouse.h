// How the host reads a gauge's mouse-area list: which area a point falls in,
// what a resting pointer shows, and how tooltip texts are filled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/records.h"

namespace talvor {

// One parent or child of a mouse list, with its box in face pixels.
struct MouseNode {
  const MOUSERECT* entry = nullptr;
  int parent = -1;  // index of the enclosing parent node, -1 at top level
  int depth = 0;
  int64_t x = 0, y = 0, w = 0, h = 0;  // 64-bit: nested offsets cannot overflow
  const MOUSERECT* tooltip = nullptr;  // parents: their tooltip entry, if any
  bool Holds(int64_t px, int64_t py) const;
};

struct MouseList {
  std::vector<MouseNode> nodes;             // parents and children in list order
  const MOUSERECT* top_tooltip = nullptr;   // a tooltip entry outside any parent
};

// Reads the list up to its end entry (at most kMaxMouseEntries entries).
// Boxes are offset by their parents; (0,0,0,0) on a parent is the whole
// face_w x face_h gauge.
MouseList ReadMouseList(const MOUSERECT* list, int face_w, int face_h);
constexpr size_t kMaxMouseEntries = 4096;

// The first child whose box holds (px, py) and whose flags ask for any of
// `wanted` (0: any child at all). Null when there is none.
const MouseNode* FindChild(const MouseList& list, int px, int py, uint32_t wanted);

// What a pointer resting at (px, py) shows, from the innermost enclosing
// parent outwards: the first parent with a tooltip entry or a help id.
struct RestTarget {
  const MOUSERECT* tooltip = nullptr;  // the tooltip entry, or
  uint32_t help_id = 0;                // the help id (0: nothing to show)
};
RestTarget FindRestTarget(const MouseList& list, int px, int py);

// Fills the inserts %N!d! (N from 1) of a tooltip text with numbers, each
// truncated toward zero to a 32-bit integer (NaN gives 0, out-of-range values
// saturate). Inserts without a number are left as they are.
std::string FormatTooltip(const char* text, const std::vector<double>& numbers);

// The emulator's own short help texts by help id; "Help 0xNNNN" for others.
std::string HelpText(uint32_t help_id);

}  // namespace talvor
