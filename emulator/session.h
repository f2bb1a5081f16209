// talvor-panel's host: loads a gauge module through its binary interface and
// drives it as the simulator's panel system does. Tests, the command line,
// scenarios and the previewer all work through a Session.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct GAUGEHDR;

namespace talvor {

// The emulator's own variables, beyond the host's catalogue: what it does with
// the trim, autopilot-master and spoiler events. Named in scenarios as
// "elevator-trim", "autopilot-master" and "spoilers-armed".
constexpr uint32_t kTokenElevatorTrim = 100001;     // -1 full nose down .. +1 full nose up
constexpr uint32_t kTokenAutopilotMaster = 100002;  // 0 or 1
constexpr uint32_t kTokenSpoilersArmed = 100003;    // 0 or 1

struct SentEvent {
  uint32_t event = 0;
  uint32_t value = 0;
  uint64_t update = 0;  // the update count when it was sent
  bool operator==(const SentEvent& o) const { return event == o.event && value == o.value; }
};

struct PlayedSound {
  std::string name;   // as the module passed it, e.g. "Sound\\dingdong.wav"
  uint32_t flags = 0;
  std::string path;   // resolved against the emulator's own folder
  bool found = false; // whether that file exists
  uint64_t update = 0; // the update count when it was played
  bool operator==(const PlayedSound& o) const { return name == o.name && flags == o.flags; }
};

// What one element shows after the latest update, by its place in drawing
// order (1 = the root).
struct ElementState {
  uint32_t kind = 0;          // host element kind (0 static .. 4 slider)
  uint32_t bitmap_id = 0;
  double value = 0;           // the callback's result (or the source's), before failures
  bool drawn = true;          // false when hidden: failure action 3, or an icon frame out of range
  std::optional<int> frame;   // icons: the frame drawn (after failure action 2), nullopt when hidden
  uint32_t failure_action = 0;  // the failure action applied (0 none, 2 as if 0, 3 not drawn)
  double value_x = 0;         // sliders: the horizontal value (`value` is the vertical one)
  double x = 0, y = 0;        // face pixels where it is drawn: top-left, or a needle's pivot
  double angle = 0;           // needles: radians, clockwise on screen from pointing right
};

// Where an instance sits on the panel.
struct InstanceInfo {
  std::string gauge;          // the gauge name
  int x = 0, y = 0;           // panel pixels
  int width = 0, height = 0;  // drawn size in panel pixels
  int face_width = 0, face_height = 0;  // the root bitmap's size
};

// The panel window the gauges sit in.
struct PanelWindow {
  std::string title;
  int width = 0, height = 0;        // pixels; 0: the extent of the gauges
  uint32_t background_rgb = 0x000000;  // 0xRRGGBB
};

// An RGBA image, top row first, 4 bytes a pixel (R, G, B, A).
struct Raster {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
};

class Session {
 public:
  // Loads the module file (a .so on Linux, the .gau under Windows) and writes
  // the host's function table into it. Throws std::runtime_error with a clear
  // message when the file is missing or is not a gauge module.
  explicit Session(const std::string& module_path);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // $TALVOR_MODULE if set, else the module of this build.
  static std::string DefaultModulePath();

  // Names of the module's gauges, in Linkage order.
  std::vector<std::string> GaugeNames() const;
  // The module's header for a gauge name (whether or not it is on the panel),
  // as the host reads it; throws for an unknown name.
  const GAUGEHDR* GaugeHeader(const std::string& name) const;

  // Creates an instance of the named gauge (services 2, 3, 4, 5) at panel
  // position (x, y), drawn w x h panel pixels (0 = the default width and the
  // face's aspect). Returns the instance's index. Throws for an unknown name,
  // listing the module's names.
  int AddGauge(const std::string& name, int x = 0, int y = 0, int w = 0, int h = 0);
  // Reads a panel configuration and creates the gauges of its main window.
  void LoadPanel(const std::string& panel_path);
  // Instance index of the first instance of `gauge`; throws when there is none.
  int Instance(const std::string& gauge) const;
  int InstanceCount() const;
  InstanceInfo Info(int instance) const;
  PanelWindow Window() const;

  // Host variables, by token.
  void Set(uint32_t token, double value);
  double Get(uint32_t token) const;
  // Host failures, by key (2 engine, 3 pitot-static, 6 airspeed, 20 electrical panel, 21 avionics).
  void SetFailure(uint32_t key, bool on);
  bool FailureHolds(uint32_t key) const;

  // The host's clocks: local time of day hh:mm:ss, UTC = local - offset.
  // They start from the machine's clock and advance 1/18 s per update
  // (simulated time, whatever the sim rate).
  void SetTime(int hours, int minutes, int seconds, double utc_offset_hours = 0.0);
  // The GPS record ("FS2002 GPS DATA"): ground speed in m/s; absent (the
  // name binds to null) while UpdateCount() < update; its size field.
  void SetGroundSpeed(double metres_per_second);
  double GroundSpeed() const;
  void SetGpsAbsentUntil(uint64_t update);
  void SetGpsSizeField(uint32_t size);

  // The folder "Sound\..." names resolve against: $TALVOR_SOUND_DIR, else
  // Sound/ beside the running program.
  static std::string DefaultSoundDir();
  void SetSoundDir(const std::string& dir);
  std::string SoundDir() const;

  // n update cycles (each followed by a draw: services 10 and 11), 18 to the
  // simulated second; the host's clocks advance with them.
  void Run(int n = 1);
  uint64_t UpdateCount() const;

  // The element at `index` (1-based, drawing order) of an instance, as of the
  // latest update.
  ElementState Element(const std::string& gauge, int index) const;
  int ElementCount(const std::string& gauge) const;
  ElementState Element(int instance, int index) const;
  int ElementCount(int instance) const;

  // Mouse, in face pixels of the gauge (whatever its drawn size).
  // Click: button down (the click call), then up.
  void Click(const std::string& gauge, int x, int y);
  // Button down at (x, y) and held for n updates: the click, then a repeat
  // at every update where the area asks for repeats.
  void Hold(const std::string& gauge, int x, int y, int n);
  // Button down at (x1, y1), moved in `steps` equal steps to (x2, y2) (a drag
  // call at each move where the area asks for drags), then up.
  void Drag(const std::string& gauge, int x1, int y1, int x2, int y2, int steps);
  // What a rest of the pointer at (x, y) shows: the tooltip text with its
  // inserts filled, else the help text, else "".
  std::string TooltipAt(const std::string& gauge, int x, int y);
  // The cursor id of the area under (x, y), -1 for none.
  int CursorAt(const std::string& gauge, int x, int y) const;
  std::string TooltipAt(int instance, int x, int y);
  int CursorAt(int instance, int x, int y) const;

  // The button as a pointer device drives it, in face pixels of the
  // instance pressed (moves may leave it). While it is down, every update
  // first sends the repeat call where the area asks for repeats.
  void MouseDown(int instance, int x, int y);
  void MouseMove(int x, int y);
  void MouseUp();
  bool MouseIsDown() const;

  // What the module sent since the last call of each.
  std::vector<SentEvent> TakeEvents();
  std::vector<PlayedSound> TakeSounds();

  // The panel (or one instance) drawn as of the latest update, at a scale.
  Raster RenderPanel(double scale = 1.0);
  Raster RenderGauge(const std::string& gauge, double scale = 1.0);
  Raster RenderInstance(int instance, double scale = 1.0);
  // Night lighting: elements without the bright image flag are dimmed.
  void SetNight(bool night);
  bool Night() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Writes a raster as PNG; throws std::runtime_error on failure, leaving no
// partial file at `path`.
void WritePng(const Raster& raster, const std::string& path);

}  // namespace talvor
