#include "emulator/host_state.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "emulator/variables.h"
#include "host/catalogue.h"

namespace talvor {

namespace {

constexpr int64_t kTicksPerSecond = 18;
constexpr int64_t kTicksPerDay = 86400 * kTicksPerSecond;

int64_t Wrap(int64_t ticks) {
  const int64_t r = ticks % kTicksPerDay;
  return r < 0 ? r + kTicksPerDay : r;
}

// A parked aircraft with its avionics on, at standard sea-level conditions.
void SetDefaults(std::unordered_map<uint32_t, double>& v) {
  v[VarAvionicsMaster] = 1.0;
  v[VarSimRate] = 1.0;
  v[VarKohlsmanHg] = 29.92;
  v[VarKohlsmanMb] = 1013.25;
  v[VarBusVoltage] = 28.0;
  v[VarOutsideAirTemp] = 15.0 / 256.0;  // x 256 gives degrees Celsius
  v[VarOnGround] = 1.0;
  v[VarMixtureLever] = 16383.0;         // full rich
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string ParentDir(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

std::string ResolveSoundPath(const std::string& sound_dir, const std::string& name) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : name + "\\") {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (parts.empty() || name.front() == '\\' || name.front() == '/' || name.find(':') != std::string::npos) {
    return "";
  }
  for (const std::string& p : parts) {
    if (p == "..") return "";
  }
  std::string path = sound_dir;
  size_t first = 0;
  if (Lower(parts[0]) == "sound") {
    first = 1;
  } else {
    path = ParentDir(sound_dir);
  }
  for (size_t i = first; i < parts.size(); ++i) path += "/" + parts[i];
  return path;
}

HostState::HostState() {
  SetDefaults(values_);
  std::memset(gps_record_, 0, sizeof gps_record_);
  SetGpsSizeField(kGpsRecordSize);
  SetClockFromMachine();
}

bool HostState::IsClockToken(uint32_t token) { return token >= VarClockHour && token <= VarZuluMinute; }

double HostState::Get(uint32_t token) const {
  if (IsClockToken(token)) {
    const int64_t seconds = (token <= VarClockSecond ? LocalTicks() : UtcTicks()) / kTicksPerSecond;
    switch (token) {
      case VarClockHour:
      case VarZuluHour:
        return static_cast<double>(seconds / 3600);
      case VarClockMinute:
      case VarZuluMinute:
        return static_cast<double>(seconds / 60 % 60);
      default:
        return static_cast<double>(seconds % 60);
    }
  }
  const auto it = values_.find(token);
  return it == values_.end() ? 0.0 : it->second;
}

void HostState::Set(uint32_t token, double value) {
  if (IsClockToken(token)) {
    throw std::invalid_argument("token " + std::to_string(token) + " (" + TokenName(token) +
                                ") follows the emulator's clock; set the time of day instead");
  }
  values_[token] = value;
}

void HostState::SetClock(int64_t local_seconds, double utc_offset_hours) {
  if (!std::isfinite(utc_offset_hours) || std::fabs(utc_offset_hours) > 24.0) {
    throw std::invalid_argument("UTC offset out of range (-24..24 hours)");
  }
  local_ticks_ = Wrap(local_seconds % 86400 * kTicksPerSecond);
  offset_ticks_ = static_cast<int64_t>(std::llround(utc_offset_hours * 3600.0 * kTicksPerSecond));
}

void HostState::SetClockFromMachine() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  std::tm utc{};
#if defined(_WIN32)
  localtime_s(&local, &now);
  gmtime_s(&utc, &now);
#else
  localtime_r(&now, &local);
  gmtime_r(&now, &utc);
#endif
  const int64_t local_s = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  int64_t offset_s = local_s - (utc.tm_hour * 3600 + utc.tm_min * 60 + utc.tm_sec);
  // Across midnight the two dates differ by a day.
  if (offset_s > 14 * 3600) offset_s -= 86400;
  if (offset_s < -14 * 3600) offset_s += 86400;
  SetClock(local_s, static_cast<double>(offset_s) / 3600.0);
}

void HostState::Tick() { local_ticks_ = Wrap(local_ticks_ + 1); }
int64_t HostState::LocalTicks() const { return local_ticks_; }
int64_t HostState::UtcTicks() const { return Wrap(local_ticks_ - offset_ticks_); }

void* HostState::GpsRecordAt(uint64_t update) { return update < gps_absent_until_ ? nullptr : gps_record_; }

void HostState::SetGroundSpeed(double metres_per_second) {
  std::memcpy(gps_record_ + kGpsGroundSpeedAt, &metres_per_second, sizeof metres_per_second);
}

double HostState::GroundSpeed() const {
  double v = 0;
  std::memcpy(&v, gps_record_ + kGpsGroundSpeedAt, sizeof v);
  return v;
}

void HostState::SetGpsSizeField(uint32_t size) { std::memcpy(gps_record_, &size, sizeof size); }

}  // namespace talvor
