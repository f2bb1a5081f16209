// The emulator's own sound files: the WAVs a module names ("Sound\dingdong.wav",
// the three marker tones) are synthesised here, so a fresh checkout plays them
// without shipping audio.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvor {

inline constexpr int kSoundSampleRate = 22050;

struct SoundFile {
  std::string name;            // file name inside the sound folder, e.g. "dingdong.wav"
  std::vector<uint8_t> bytes;  // a complete RIFF/WAVE file, 16-bit PCM mono
};

// Every sound the emulator ships, always the same bytes.
const std::vector<SoundFile>& BuiltinSounds();

// A RIFF/WAVE file of 16-bit mono PCM samples.
std::vector<uint8_t> EncodeWav(const std::vector<int16_t>& samples, int sample_rate);

// Writes each builtin sound into `dir` (created if needed) unless a file of
// the same name already holds the same bytes. Each file is written to a
// temporary name and renamed, so a reader never sees half a file. Throws
// std::runtime_error naming the path when the folder cannot be written.
void WriteSounds(const std::string& dir);

}  // namespace talvor
