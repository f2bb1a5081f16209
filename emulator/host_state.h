// The host's side of the variables: a table of token values, the clocks and
// the GPS record. What the host does on events lives in event_model.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace talvor {

// Size of the host's GPS record, and where its ground speed sits.
constexpr uint32_t kGpsRecordSize = 176;
constexpr size_t kGpsGroundSpeedAt = 40;

// The file a sound name such as "Sound\\dingdong.wav" names: backslashes
// (or slashes) separate folders; a leading "Sound" folder is `sound_dir`
// itself, any other name is taken relative to the folder that holds it (the
// host's own folder). Names that would leave it (".." parts, absolute
// paths, drive letters) resolve to "".
std::string ResolveSoundPath(const std::string& sound_dir, const std::string& name);

class HostState {
 public:
  // Starts with the defaults below and the machine's time of day.
  HostState();

  // Token values in the units of the catalogue; tokens nobody set read 0.0.
  // The clock tokens (3..7) are read from the clocks.
  double Get(uint32_t token) const;
  // Throws std::invalid_argument for the clock tokens, which follow SetClock.
  void Set(uint32_t token, double value);
  static bool IsClockToken(uint32_t token);

  // The local clock at hh:mm:ss (any whole seconds, taken modulo a day) and
  // UTC = local - offset.
  void SetClock(int64_t local_seconds, double utc_offset_hours);
  void SetClockFromMachine();
  // One update: 1/18 s of simulated time.
  void Tick();
  // Local and UTC time of day in 1/18 s steps.
  int64_t LocalTicks() const;
  int64_t UtcTicks() const;

  // The GPS record as the module sees it at `update`: null while it is
  // absent, else the host's 176 bytes.
  void* GpsRecordAt(uint64_t update);
  void SetGroundSpeed(double metres_per_second);
  double GroundSpeed() const;
  void SetGpsAbsentUntil(uint64_t update) { gps_absent_until_ = update; }
  void SetGpsSizeField(uint32_t size);

 private:
  std::unordered_map<uint32_t, double> values_;
  int64_t local_ticks_ = 0;   // 1/18 s since local midnight
  int64_t offset_ticks_ = 0;  // local - UTC
  uint64_t gps_absent_until_ = 0;
  alignas(8) unsigned char gps_record_[kGpsRecordSize] = {};
};

}  // namespace talvor
