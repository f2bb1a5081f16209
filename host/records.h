// The panel host's records, laid out byte for byte as the host reads them.
// This header is the one place that knows the host's layouts: a host that
// publishes other layouts needs a change here alone.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64) && (defined(__GNUC__) || defined(_MSC_VER))
#define HOSTCALL __stdcall
#else
#define HOSTCALL
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define TALVOR_HOST_I686 1
#else
#define TALVOR_HOST_I686 0
#endif

using FLOAT64 = double;
using FLOAT32 = float;

struct GAUGEHDR;
struct ELEMENT_HEADER;

struct PIXPOINT {
  int32_t x;
  int32_t y;
};

struct PIXBOX {
  int32_t x;
  int32_t y;
  int32_t w;
  int32_t h;
};

struct MODULE_VAR {
  uint32_t id;
  void* var_ptr;
  FLOAT64 value;
};

struct IMPORT_ENTRY {
  uint32_t id;
  void* table;
};

constexpr uint32_t kImportHostPanelsId = 0x0F;

struct HOST_PANELS {
  uint32_t size;
  void(HOSTCALL* lookup_var)(MODULE_VAR* var);
  void(HOSTCALL* initialize_var_by_name)(MODULE_VAR* var, const char* name);
  void(HOSTCALL* trigger_key_event)(uint32_t event, uint32_t value);
};

using GAUGE_CALLBACK = void(HOSTCALL*)(GAUGEHDR* gauge, int32_t service_id, uint32_t extra);
using MODULE_FUNCTION = void(HOSTCALL*)(void);

// The gauge pointers are held in the record itself, read up to the first null.
// The module declares the record with as many slots as it fills; a host reads
// the prefix through GAUGE_LINKAGE.
template <std::size_t N>
struct GAUGE_LINKAGE_T {
  uint32_t module_id;
  MODULE_FUNCTION init;
  MODULE_FUNCTION deinit;
  uint32_t flags;
  uint32_t priority;
  uint32_t version;
  GAUGEHDR* gauges[N];
};
using GAUGE_LINKAGE = GAUGE_LINKAGE_T<1>;

constexpr uint32_t kLinkageModuleId = 0x13;
constexpr uint32_t kLinkageVersion = 0x800;

struct MOUSERECT;

struct GAUGEHDR {
  uint32_t version;
  const char* name;
  ELEMENT_HEADER** elements;
  uint32_t width_mm;
  const MOUSERECT* mouse_rects;
  GAUGE_CALLBACK callback;
  uint32_t user_data;
  const char* parameters;
  uint32_t flags;
};

constexpr uint32_t kGaugeHeaderVersion = 800;

struct FAILURE_RECORD {
  uint32_t key;
  uint32_t action;
  uint32_t reserved;
};

enum ElementKind : uint32_t {
  kElementStatic = 0,
  kElementIcon = 1,
  kElementNeedle = 2,
  kElementString = 3,
  kElementSlider = 4,
};

struct ELEMENT_HEADER {
  uint32_t kind;
  uint32_t bitmap_id;
  PIXPOINT position;
  PIXPOINT offset;
  PIXPOINT previous_position;
  GAUGEHDR* gauge;
  ELEMENT_HEADER* previous_element;
  ELEMENT_HEADER** next_elements;
  const FAILURE_RECORD* failures;
  uint32_t image_flags;
  uint32_t special_flags;
};

using VALUE_CALLBACK = FLOAT64(HOSTCALL*)(ELEMENT_HEADER* element);

struct ELEMENT_STATIC {
  ELEMENT_HEADER header;
};

struct ELEMENT_ICON {
  ELEMENT_HEADER header;
  MODULE_VAR source;
  VALUE_CALLBACK callback;
  uint32_t frame_count;
  uint32_t switch_type;
  FLOAT64 scale;
  FLOAT64 offset;
};

struct NONLINEARITY {
  PIXPOINT point;
  FLOAT64 value;
  FLOAT64 angle;
};

struct ELEMENT_NEEDLE {
  ELEMENT_HEADER header;
  MODULE_VAR source;
  VALUE_CALLBACK callback;
  NONLINEARITY* table;
  uint32_t table_size;
  FLOAT64 max_degrees_per_tick;
};

struct ELEMENT_STRING {
  ELEMENT_HEADER header;
  MODULE_VAR sources[3];
  VALUE_CALLBACK callback;
  PIXPOINT box_size;
  uint32_t fg_color;
  uint32_t bg_color;
  uint32_t highlight_color;
  const char* font_face;
  uint32_t font_weight;
  uint32_t charset;
  uint32_t draw_flags;
  uint32_t char_count;
};

struct ELEMENT_SLIDER {
  ELEMENT_HEADER header;
  MODULE_VAR source_x;
  VALUE_CALLBACK callback_x;
  FLOAT64 scale_x;
  MODULE_VAR source_y;
  VALUE_CALLBACK callback_y;
  FLOAT64 scale_y;
};

enum MouseRectType : uint32_t {
  kMouseEnd = 0,
  kMouseParent = 1,
  kMouseChild = 2,
  kMouseEndParent = 3,
  kMouseUser = 4,
};

using MOUSE_FUNCTION = int32_t(HOSTCALL*)(PIXPOINT* point, uint32_t flags);

// The function field of a mouse entry; a tooltip entry holds its text there.
union MOUSE_TARGET {
  MOUSE_FUNCTION mouse;
  const char* tooltip;
  constexpr MOUSE_TARGET() : mouse(nullptr) {}
  constexpr MOUSE_TARGET(std::nullptr_t) : mouse(nullptr) {}
  constexpr MOUSE_TARGET(MOUSE_FUNCTION f) : mouse(f) {}
  constexpr MOUSE_TARGET(const char* text) : tooltip(text) {}
};

struct MOUSERECT {
  uint32_t type;
  PIXBOX box;
  int32_t cursor;
  uint32_t help_id;
  uint32_t flags;
  uint32_t event_id;
  MOUSE_TARGET function;
  void* data;
};

using TOOLTIP_ARG_CALLBACK = FLOAT64(HOSTCALL*)(FLOAT64 number, uint32_t id, const char* text,
                                                MODULE_VAR* source, GAUGEHDR* gauge);

struct MOUSE_ARG {
  MODULE_VAR source;
  TOOLTIP_ARG_CALLBACK callback;
};

// Numbers of the interface.
enum GaugeService : int32_t {
  kServicePreQuery = 0,
  kServicePostQuery = 1,
  kServicePreInstall = 2,
  kServicePostInstall = 3,
  kServicePreInitialize = 4,
  kServicePostInitialize = 5,
  kServicePreUpdate = 6,
  kServicePostUpdate = 7,
  kServicePreGenerate = 8,
  kServicePostGenerate = 9,
  kServicePreDraw = 10,
  kServicePostDraw = 11,
  kServicePreKill = 12,
  kServicePostKill = 13,
};

constexpr uint32_t kMouseLeftSingle = 0x20000000;
constexpr uint32_t kMouseRepeat = 0x00200000;
constexpr uint32_t kMouseLeftDrag = 0x00800000;
constexpr uint32_t kMouseClickRepeat = kMouseLeftSingle | kMouseRepeat;
constexpr uint32_t kMouseClickDrag = kMouseLeftSingle | kMouseLeftDrag;

constexpr int32_t kCursorNone = -1;
constexpr int32_t kCursorUpArrow = 1;
constexpr int32_t kCursorDownArrow = 2;
constexpr int32_t kCursorHand = 5;

constexpr uint32_t kImageTransparent = 0x1;
constexpr uint32_t kImageErase = 0x2;
constexpr uint32_t kImageBright = 0x4;
constexpr uint32_t kImageBilinear = 0x80;

constexpr uint32_t kFailActionNone = 0;
constexpr uint32_t kFailActionZero = 2;
constexpr uint32_t kFailActionHide = 3;

constexpr uint32_t kFailEngine = 2;
constexpr uint32_t kFailPitotStatic = 3;
constexpr uint32_t kFailAirspeed = 6;
constexpr uint32_t kFailElectricalPanel = 20;
constexpr uint32_t kFailAvionics = 21;

constexpr uint32_t kSoundAsync = 0x0001;
constexpr uint32_t kStringBitmapId = 0xFFFFFFFFu;
constexpr uint32_t kGpsRecordMinSize = 176;
constexpr std::size_t kGpsGroundSpeedOffset = 40;

// Layout checks. On i686 Windows every offset and size is pinned; elsewhere the
// same declarations give other offsets, so only order and types are checked.
#define TALVOR_FIELD_ORDER(T, a, b) static_assert(offsetof(T, a) < offsetof(T, b), #T ": " #a " before " #b)

#if TALVOR_HOST_I686
#define TALVOR_AT(T, f, off) static_assert(offsetof(T, f) == (off), #T "." #f " at " #off)
#define TALVOR_SIZE(T, n) static_assert(sizeof(T) == (n), "sizeof " #T " is " #n)
static_assert(sizeof(void*) == 4, "i686 pointers are 4 bytes");
TALVOR_SIZE(PIXPOINT, 8);
TALVOR_SIZE(PIXBOX, 16);
TALVOR_AT(PIXBOX, h, 12);
TALVOR_SIZE(MODULE_VAR, 16);
TALVOR_AT(MODULE_VAR, id, 0);
TALVOR_AT(MODULE_VAR, var_ptr, 4);
TALVOR_AT(MODULE_VAR, value, 8);
TALVOR_SIZE(IMPORT_ENTRY, 8);
TALVOR_AT(IMPORT_ENTRY, table, 4);
TALVOR_SIZE(HOST_PANELS, 16);
TALVOR_AT(HOST_PANELS, lookup_var, 4);
TALVOR_AT(HOST_PANELS, initialize_var_by_name, 8);
TALVOR_AT(HOST_PANELS, trigger_key_event, 12);
TALVOR_AT(GAUGE_LINKAGE, module_id, 0);
TALVOR_AT(GAUGE_LINKAGE, init, 4);
TALVOR_AT(GAUGE_LINKAGE, deinit, 8);
TALVOR_AT(GAUGE_LINKAGE, flags, 12);
TALVOR_AT(GAUGE_LINKAGE, priority, 16);
TALVOR_AT(GAUGE_LINKAGE, version, 20);
TALVOR_AT(GAUGE_LINKAGE, gauges, 24);
TALVOR_SIZE(GAUGEHDR, 36);
TALVOR_AT(GAUGEHDR, name, 4);
TALVOR_AT(GAUGEHDR, elements, 8);
TALVOR_AT(GAUGEHDR, width_mm, 12);
TALVOR_AT(GAUGEHDR, mouse_rects, 16);
TALVOR_AT(GAUGEHDR, callback, 20);
TALVOR_AT(GAUGEHDR, user_data, 24);
TALVOR_AT(GAUGEHDR, parameters, 28);
TALVOR_AT(GAUGEHDR, flags, 32);
TALVOR_SIZE(FAILURE_RECORD, 12);
TALVOR_AT(FAILURE_RECORD, action, 4);
TALVOR_AT(FAILURE_RECORD, reserved, 8);
TALVOR_SIZE(ELEMENT_HEADER, 56);
TALVOR_AT(ELEMENT_HEADER, bitmap_id, 4);
TALVOR_AT(ELEMENT_HEADER, position, 8);
TALVOR_AT(ELEMENT_HEADER, offset, 16);
TALVOR_AT(ELEMENT_HEADER, previous_position, 24);
TALVOR_AT(ELEMENT_HEADER, gauge, 32);
TALVOR_AT(ELEMENT_HEADER, previous_element, 36);
TALVOR_AT(ELEMENT_HEADER, next_elements, 40);
TALVOR_AT(ELEMENT_HEADER, failures, 44);
TALVOR_AT(ELEMENT_HEADER, image_flags, 48);
TALVOR_AT(ELEMENT_HEADER, special_flags, 52);
TALVOR_SIZE(ELEMENT_STATIC, 56);
TALVOR_SIZE(ELEMENT_ICON, 104);
TALVOR_AT(ELEMENT_ICON, source, 56);
TALVOR_AT(ELEMENT_ICON, callback, 72);
TALVOR_AT(ELEMENT_ICON, frame_count, 76);
TALVOR_AT(ELEMENT_ICON, switch_type, 80);
TALVOR_AT(ELEMENT_ICON, scale, 88);
TALVOR_AT(ELEMENT_ICON, offset, 96);
TALVOR_SIZE(ELEMENT_NEEDLE, 96);
TALVOR_AT(ELEMENT_NEEDLE, source, 56);
TALVOR_AT(ELEMENT_NEEDLE, callback, 72);
TALVOR_AT(ELEMENT_NEEDLE, table, 76);
TALVOR_AT(ELEMENT_NEEDLE, table_size, 80);
TALVOR_AT(ELEMENT_NEEDLE, max_degrees_per_tick, 88);
TALVOR_SIZE(ELEMENT_STRING, 152);
TALVOR_AT(ELEMENT_STRING, sources, 56);
TALVOR_AT(ELEMENT_STRING, callback, 104);
TALVOR_AT(ELEMENT_STRING, box_size, 108);
TALVOR_AT(ELEMENT_STRING, fg_color, 116);
TALVOR_AT(ELEMENT_STRING, bg_color, 120);
TALVOR_AT(ELEMENT_STRING, highlight_color, 124);
TALVOR_AT(ELEMENT_STRING, font_face, 128);
TALVOR_AT(ELEMENT_STRING, font_weight, 132);
TALVOR_AT(ELEMENT_STRING, charset, 136);
TALVOR_AT(ELEMENT_STRING, draw_flags, 140);
TALVOR_AT(ELEMENT_STRING, char_count, 144);
TALVOR_SIZE(ELEMENT_SLIDER, 120);
TALVOR_AT(ELEMENT_SLIDER, source_x, 56);
TALVOR_AT(ELEMENT_SLIDER, callback_x, 72);
TALVOR_AT(ELEMENT_SLIDER, scale_x, 80);
TALVOR_AT(ELEMENT_SLIDER, source_y, 88);
TALVOR_AT(ELEMENT_SLIDER, callback_y, 104);
TALVOR_AT(ELEMENT_SLIDER, scale_y, 112);
TALVOR_SIZE(NONLINEARITY, 24);
TALVOR_AT(NONLINEARITY, value, 8);
TALVOR_AT(NONLINEARITY, angle, 16);
TALVOR_SIZE(MOUSERECT, 44);
TALVOR_AT(MOUSERECT, box, 4);
TALVOR_AT(MOUSERECT, cursor, 20);
TALVOR_AT(MOUSERECT, help_id, 24);
TALVOR_AT(MOUSERECT, flags, 28);
TALVOR_AT(MOUSERECT, event_id, 32);
TALVOR_AT(MOUSERECT, function, 36);
TALVOR_AT(MOUSERECT, data, 40);
TALVOR_SIZE(MOUSE_ARG, 24);
TALVOR_AT(MOUSE_ARG, callback, 16);
#undef TALVOR_AT
#undef TALVOR_SIZE
#endif

TALVOR_FIELD_ORDER(MODULE_VAR, id, var_ptr);
TALVOR_FIELD_ORDER(MODULE_VAR, var_ptr, value);
TALVOR_FIELD_ORDER(GAUGE_LINKAGE, version, gauges);
TALVOR_FIELD_ORDER(GAUGEHDR, mouse_rects, callback);
TALVOR_FIELD_ORDER(GAUGEHDR, parameters, flags);
TALVOR_FIELD_ORDER(ELEMENT_HEADER, previous_position, gauge);
TALVOR_FIELD_ORDER(ELEMENT_HEADER, failures, image_flags);
TALVOR_FIELD_ORDER(ELEMENT_ICON, callback, frame_count);
TALVOR_FIELD_ORDER(ELEMENT_ICON, scale, offset);
TALVOR_FIELD_ORDER(ELEMENT_NEEDLE, table_size, max_degrees_per_tick);
TALVOR_FIELD_ORDER(ELEMENT_STRING, font_face, char_count);
TALVOR_FIELD_ORDER(ELEMENT_SLIDER, scale_x, source_y);
TALVOR_FIELD_ORDER(MOUSERECT, event_id, data);
TALVOR_FIELD_ORDER(MOUSE_ARG, source, callback);
static_assert(offsetof(ELEMENT_ICON, header) == 0 && offsetof(ELEMENT_NEEDLE, header) == 0 &&
                  offsetof(ELEMENT_STRING, header) == 0 && offsetof(ELEMENT_SLIDER, header) == 0,
              "an element pointer is a pointer to its header");
static_assert(sizeof(MOUSE_TARGET) == sizeof(void*), "one pointer in the function field");
static_assert(sizeof(FLOAT64) == 8 && sizeof(FLOAT32) == 4, "IEEE 754 widths");
#undef TALVOR_FIELD_ORDER
