#include "emulator/mouse.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace talvor {

bool MouseNode::Holds(int64_t px, int64_t py) const { return x <= px && px < x + w && y <= py && py < y + h; }

MouseList ReadMouseList(const MOUSERECT* list, int face_w, int face_h) {
  MouseList out;
  if (list == nullptr) return out;
  int open = -1;  // innermost open parent
  for (size_t i = 0; i < kMaxMouseEntries && list[i].type != kMouseEnd; ++i) {
    const MOUSERECT& e = list[i];
    switch (e.type) {
      case kMouseParent:
      case kMouseChild: {
        MouseNode node;
        node.entry = &e;
        node.parent = open;
        node.depth = open < 0 ? 0 : out.nodes[open].depth + 1;
        const PIXBOX& b = e.box;
        if (e.type == kMouseParent && b.x == 0 && b.y == 0 && b.w == 0 && b.h == 0) {
          node.w = face_w;
          node.h = face_h;
        } else {
          const int64_t ox = open < 0 ? 0 : out.nodes[open].x;
          const int64_t oy = open < 0 ? 0 : out.nodes[open].y;
          node.x = ox + b.x;
          node.y = oy + b.y;
          node.w = b.w;
          node.h = b.h;
        }
        out.nodes.push_back(node);
        if (e.type == kMouseParent) open = static_cast<int>(out.nodes.size()) - 1;
        break;
      }
      case kMouseEndParent:
        if (open >= 0) open = out.nodes[open].parent;
        break;
      case kMouseUser:
        if (open < 0) {
          if (out.top_tooltip == nullptr) out.top_tooltip = &e;
        } else if (out.nodes[open].tooltip == nullptr) {
          out.nodes[open].tooltip = &e;
        }
        break;
      default:
        break;  // unknown entry types are skipped
    }
  }
  return out;
}

const MouseNode* FindChild(const MouseList& list, int px, int py, uint32_t wanted) {
  for (const MouseNode& n : list.nodes) {
    if (n.entry->type != kMouseChild || !n.Holds(px, py)) continue;
    if (wanted == 0 || (n.entry->flags & wanted) != 0) return &n;
  }
  return nullptr;
}

RestTarget FindRestTarget(const MouseList& list, int px, int py) {
  // A parent encloses the point when its box and every enclosing parent's
  // box hold it; the innermost is the deepest, the first of equals.
  std::vector<char> encloses(list.nodes.size(), 0);
  int innermost = -1;
  for (size_t i = 0; i < list.nodes.size(); ++i) {
    const MouseNode& n = list.nodes[i];
    if (n.entry->type != kMouseParent) continue;
    const bool parent_ok = n.parent < 0 || encloses[n.parent];
    encloses[i] = parent_ok && n.Holds(px, py);
    if (encloses[i] && (innermost < 0 || n.depth > list.nodes[innermost].depth)) innermost = static_cast<int>(i);
  }
  RestTarget out;
  for (int i = innermost; i >= 0; i = list.nodes[i].parent) {
    const MouseNode& n = list.nodes[i];
    if (n.tooltip != nullptr) {
      out.tooltip = n.tooltip;
      return out;
    }
    if (n.entry->help_id != 0) {
      out.help_id = n.entry->help_id;
      return out;
    }
  }
  out.tooltip = list.top_tooltip;
  return out;
}

namespace {

int32_t TruncateToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v <= -2147483648.0) return INT32_MIN;
  if (v >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(v);
}

}  // namespace

std::string FormatTooltip(const char* text, const std::vector<double>& numbers) {
  std::string out;
  if (text == nullptr) return out;
  const size_t len = std::strlen(text);
  for (size_t i = 0; i < len;) {
    // %N!d! with N of one or two digits.
    if (text[i] == '%' && i + 1 < len && text[i + 1] >= '1' && text[i + 1] <= '9') {
      size_t j = i + 1;
      size_t n = 0;
      while (j < len && j < i + 3 && text[j] >= '0' && text[j] <= '9') n = n * 10 + static_cast<size_t>(text[j++] - '0');
      if (j + 3 <= len && std::strncmp(text + j, "!d!", 3) == 0 && n >= 1 && n <= numbers.size()) {
        out += std::to_string(TruncateToInt32(numbers[n - 1]));
        i = j + 3;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

std::string HelpText(uint32_t help_id) {
  switch (help_id) {
    case 0xAD87: return "Autopilot heading mode (HDG)";
    case 0xAD85: return "Autopilot navigation mode (NAV)";
    case 0xAD83: return "Autopilot approach mode (APR)";
    case 0xAD82: return "Autopilot back-course mode (REV)";
    case 0xAD8C: return "Autopilot altitude hold (ALT)";
    case 0xAD8A: return "Autopilot vertical-speed mode (VS)";
    case 0xAD94: return "Autopilot vertical-speed reference";
    case 0xAB6C: return "Throttle";
    case 0xAB6B: return "Mixture";
    case 0xAB55: return "Elevator trim";
    case 0xAB0E: return "Autopilot on/off";
    default: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "Help 0x%04X", help_id);
      return buf;
    }
  }
}

}  // namespace talvor
