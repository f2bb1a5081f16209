// The emulator's synthesised sound files: valid WAVs with the tones and
// keying the module's sound names stand for.
#include "emulator/sounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace talvor {
namespace {

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b.at(at + static_cast<size_t>(i));
  return v;
}

struct Pcm {
  int rate = 0;
  std::vector<double> samples;  // -1..1
};

// Reads back the canonical 44-byte header our writer produces, checking
// every field a player relies on.
Pcm Parse(const std::vector<uint8_t>& b) {
  EXPECT_GE(b.size(), 44u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(Le(b, 4, 4), b.size() - 8);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le(b, 16, 4), 16u);
  EXPECT_EQ(Le(b, 20, 2), 1u);   // PCM
  EXPECT_EQ(Le(b, 22, 2), 1u);   // mono
  EXPECT_EQ(Le(b, 34, 2), 16u);  // bits
  EXPECT_EQ(Le(b, 28, 4), Le(b, 24, 4) * 2);
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  EXPECT_EQ(Le(b, 40, 4), b.size() - 44);
  Pcm pcm;
  pcm.rate = static_cast<int>(Le(b, 24, 4));
  for (size_t i = 44; i + 1 < b.size(); i += 2)
    pcm.samples.push_back(static_cast<int16_t>(Le(b, i, 2)) / 32768.0);
  return pcm;
}

// Stretches where the tone sounds, in seconds, gaps shorter than 2 ms bridged.
std::vector<std::pair<double, double>> Keyed(const Pcm& pcm) {
  std::vector<std::pair<double, double>> runs;
  const int bridge = pcm.rate / 500;
  int last_loud = -1000000, start = -1;
  for (int i = 0; i < static_cast<int>(pcm.samples.size()); ++i) {
    if (std::fabs(pcm.samples[i]) < 0.05) continue;
    if (start < 0 || i - last_loud > bridge) {
      if (start >= 0) runs.push_back({double(start) / pcm.rate, double(last_loud) / pcm.rate});
      start = i;
    }
    last_loud = i;
  }
  if (start >= 0) runs.push_back({double(start) / pcm.rate, double(last_loud) / pcm.rate});
  return runs;
}

double Frequency(const Pcm& pcm, double from, double to) {
  int crossings = 0;
  const int a = static_cast<int>(from * pcm.rate), b = static_cast<int>(to * pcm.rate);
  for (int i = a + 1; i < b; ++i)
    if ((pcm.samples[i - 1] < 0) != (pcm.samples[i] < 0)) ++crossings;
  return crossings / 2.0 / (to - from);
}

const std::vector<uint8_t>& Bytes(const std::string& name) {
  for (const SoundFile& s : BuiltinSounds())
    if (s.name == name) return s.bytes;
  ADD_FAILURE() << "no builtin sound " << name;
  static const std::vector<uint8_t> none;
  return none;
}

TEST(Sounds, MarkerTonesHaveTheirPitchAndKeying) {
  struct Case {
    const char* name;
    double hz;
    std::vector<double> on_seconds;  // lengths of the keyed stretches, in order
  };
  const double u = 1.0 / 12;
  const Case cases[] = {
      {"Innermk.wav", 3000, std::vector<double>(6, u)},
      {"Outermk.wav", 400, {0.375, 0.375}},
      {"Middmk.wav", 1300, {u, 3 * u, u, 3 * u}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Pcm pcm = Parse(Bytes(c.name));
    EXPECT_NEAR(double(pcm.samples.size()) / pcm.rate, 1.0, 0.05);
    const auto runs = Keyed(pcm);
    ASSERT_EQ(runs.size(), c.on_seconds.size());
    for (size_t i = 0; i < runs.size(); ++i)
      EXPECT_NEAR(runs[i].second - runs[i].first, c.on_seconds[i], 0.006) << "stretch " << i;
    EXPECT_NEAR(Frequency(pcm, runs[0].first + 0.004, runs[0].second - 0.004), c.hz, c.hz * 0.03);
  }
}

TEST(Sounds, ChimeFallsFromHighToLow) {
  const Pcm pcm = Parse(Bytes("dingdong.wav"));
  EXPECT_NEAR(double(pcm.samples.size()) / pcm.rate, 1.0, 0.05);
  const double first = Frequency(pcm, 0.02, 0.40), second = Frequency(pcm, 0.60, 0.95);
  EXPECT_NEAR(first, 659, 20);
  EXPECT_NEAR(second, 523, 20);
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Sounds, WriteSoundsCreatesAndRepairsTheFolder) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("talvor-sounds-" + std::to_string(::getpid())) / "Sound";
  fs::remove_all(dir.parent_path());
  WriteSounds(dir.string());
  for (const SoundFile& s : BuiltinSounds()) EXPECT_EQ(ReadFile(dir / s.name), s.bytes) << s.name;

  // A damaged file is put right; nothing is left behind but the sounds.
  { std::ofstream(dir / "Middmk.wav", std::ios::trunc) << "junk"; }
  WriteSounds(dir.string());
  EXPECT_EQ(ReadFile(dir / "Middmk.wav"), Bytes("Middmk.wav"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()),
            static_cast<std::ptrdiff_t>(BuiltinSounds().size()));

  // A plain file where the folder should be: a clear error naming it.
  const fs::path blocked = dir.parent_path() / "blocked";
  { std::ofstream(blocked) << "x"; }
  try {
    WriteSounds(blocked.string());
    ADD_FAILURE() << "expected an error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(blocked.string()), std::string::npos) << e.what();
  }
  fs::remove_all(dir.parent_path());
}

}  // namespace
}  // namespace talvor
