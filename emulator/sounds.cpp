#include "emulator/sounds.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace talvor {
namespace {

constexpr double kPi = 3.14159265358979323846;

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

int16_t ToSample(double v) {
  if (!(v > -1.0)) v = -1.0;  // also catches NaN
  if (v > 1.0) v = 1.0;
  return static_cast<int16_t>(std::lround(v * 32767.0));
}

// `seconds` of samples from `wave` (time in seconds -> -1..1).
std::vector<int16_t> Render(double seconds, const std::function<double(double)>& wave) {
  const int n = static_cast<int>(seconds * kSoundSampleRate);
  std::vector<int16_t> samples(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) samples[static_cast<size_t>(i)] = ToSample(wave(double(i) / kSoundSampleRate));
  return samples;
}

// A tone keyed on from `on_from` to `on_to`, with short ramps so the keying
// does not click.
double KeyedTone(double t, double hz, double on_from, double on_to) {
  constexpr double kRamp = 0.003;
  if (t < on_from || t >= on_to) return 0.0;
  double envelope = std::min({1.0, (t - on_from) / kRamp, (on_to - t) / kRamp});
  return 0.5 * envelope * std::sin(2 * kPi * hz * t);
}

// A bell-like strike: a decaying tone with two weaker overtones.
double Strike(double t, double hz) {
  if (t < 0) return 0.0;
  double attack = std::min(1.0, t / 0.004);
  double body = std::sin(2 * kPi * hz * t) + 0.3 * std::sin(2 * kPi * 2 * hz * t) +
                0.1 * std::sin(2 * kPi * 3 * hz * t);
  return 0.4 * attack * std::exp(-4.0 * t) * body;
}

std::vector<SoundFile> MakeSounds() {
  std::vector<SoundFile> sounds;
  // Two strikes, high then low.
  sounds.push_back({"dingdong.wav", EncodeWav(Render(1.0, [](double t) {
                      return Strike(t, 659.26) + Strike(t - 0.45, 523.25);
                    }), kSoundSampleRate)});
  // Inner marker: 3000 Hz dots, six a second.
  sounds.push_back({"Innermk.wav", EncodeWav(Render(1.0, [](double t) {
                      return KeyedTone(std::fmod(t, 1.0 / 6), 3000, 0, 1.0 / 12);
                    }), kSoundSampleRate)});
  // Outer marker: 400 Hz dashes, two a second.
  sounds.push_back({"Outermk.wav", EncodeWav(Render(1.0, [](double t) {
                      return KeyedTone(std::fmod(t, 0.5), 400, 0, 0.375);
                    }), kSoundSampleRate)});
  // Middle marker: 1300 Hz dot then dash, twice a second (units of 1/12 s:
  // dot 1, gap 1, dash 3, gap 1).
  sounds.push_back({"Middmk.wav", EncodeWav(Render(1.0, [](double t) {
                      constexpr double u = 1.0 / 12;
                      double p = std::fmod(t, 0.5);
                      return KeyedTone(p, 1300, 0, u) + KeyedTone(p, 1300, 2 * u, 5 * u);
                    }), kSoundSampleRate)});
  return sounds;
}

}  // namespace

std::vector<uint8_t> EncodeWav(const std::vector<int16_t>& samples, int sample_rate) {
  const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + data_bytes);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  PutLe(out, 36 + data_bytes, 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(out, 16, 4);                                      // fmt chunk size
  PutLe(out, 1, 2);                                       // PCM
  PutLe(out, 1, 2);                                       // mono
  PutLe(out, static_cast<uint32_t>(sample_rate), 4);
  PutLe(out, static_cast<uint32_t>(sample_rate) * 2, 4);  // bytes a second
  PutLe(out, 2, 2);                                       // block align
  PutLe(out, 16, 2);                                      // bits a sample
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutLe(out, data_bytes, 4);
  for (int16_t s : samples) PutLe(out, static_cast<uint16_t>(s), 2);
  return out;
}

const std::vector<SoundFile>& BuiltinSounds() {
  static const std::vector<SoundFile> sounds = MakeSounds();
  return sounds;
}

void WriteSounds(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) throw std::runtime_error("cannot create sound folder " + dir + ": " + ec.message());
  for (const SoundFile& sound : BuiltinSounds()) {
    const fs::path path = fs::path(dir) / sound.name;
    {
      std::ifstream in(path, std::ios::binary);
      if (in) {
        std::vector<uint8_t> have((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (have == sound.bytes) continue;
      }
    }
    fs::path tmp = path;
    tmp += ".tmp";
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(sound.bytes.data()), static_cast<std::streamsize>(sound.bytes.size()));
      out.close();
      if (!out) {
        fs::remove(tmp, ec);
        throw std::runtime_error("cannot write " + tmp.string());
      }
    }
    fs::rename(tmp, path, ec);
    if (ec) {
      const std::string reason = ec.message();
      fs::remove(tmp, ec);
      throw std::runtime_error("cannot write " + path.string() + ": " + reason);
    }
  }
}

}  // namespace talvor
