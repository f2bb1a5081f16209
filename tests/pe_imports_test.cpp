// The import-table walk that points a Windows module's sndPlaySoundA at the
// emulator: on small images built here, and on the built jovTalvor.gau.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "emulator/pe_imports.h"

namespace {

struct Import {
  std::string dll;
  std::vector<std::string> functions;  // "#N" imports ordinal N
  bool with_name_table = true;
};

struct BuiltImage {
  std::vector<uint8_t> bytes;
  std::vector<std::vector<size_t>> slots;  // per import, per function: its IAT slot
};

template <typename T>
void Put(std::vector<uint8_t>& b, size_t at, T v) {
  std::memcpy(b.data() + at, &v, sizeof v);
}

// A PE image as the loader lays it out, holding nothing but what the walk
// reads: the headers' import directory, the descriptors, names and thunks.
BuiltImage BuildImage(const std::vector<Import>& imports, bool wide = false) {
  BuiltImage out;
  std::vector<uint8_t>& b = out.bytes;
  b.assign(0x4000, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put<uint32_t>(b, 0x3c, 0x40);
  Put<uint32_t>(b, 0x40, 0x00004550);
  const size_t optional = 0x40 + 4 + 20;
  Put<uint16_t>(b, optional, wide ? 0x20b : 0x10b);
  Put<uint32_t>(b, optional + (wide ? 108 : 92), 16);
  const size_t directories = optional + (wide ? 112 : 96);
  const size_t descriptors = 0x200;
  Put<uint32_t>(b, directories + 8, static_cast<uint32_t>(descriptors));
  const size_t thunk = wide ? 8 : 4;
  size_t at = 0x800;
  for (size_t d = 0; d < imports.size(); ++d) {
    const Import& imp = imports[d];
    const size_t desc = descriptors + 20 * d;
    const size_t name = at;
    std::memcpy(b.data() + name, imp.dll.c_str(), imp.dll.size() + 1);
    at += imp.dll.size() + 1 + 8;
    const size_t names = at;
    at += thunk * (imp.functions.size() + 1);
    const size_t iat = at;
    at += thunk * (imp.functions.size() + 1);
    out.slots.emplace_back();
    for (size_t f = 0; f < imp.functions.size(); ++f) {
      uint64_t entry;
      const std::string& fn = imp.functions[f];
      if (fn[0] == '#') {
        entry = std::stoull(fn.substr(1)) | (wide ? uint64_t{1} << 63 : uint64_t{1} << 31);
      } else {
        entry = at;
        std::memcpy(b.data() + at + 2, fn.c_str(), fn.size() + 1);
        at += 2 + fn.size() + 1 + 1;
      }
      for (size_t table : {names, iat}) {
        if (wide) {
          Put<uint64_t>(b, table + thunk * f, entry);
        } else {
          Put<uint32_t>(b, table + thunk * f, static_cast<uint32_t>(entry));
        }
      }
      out.slots.back().push_back(iat + thunk * f);
    }
    Put<uint32_t>(b, desc, imp.with_name_table ? static_cast<uint32_t>(names) : 0);
    Put<uint32_t>(b, desc + 12, static_cast<uint32_t>(name));
    Put<uint32_t>(b, desc + 16, static_cast<uint32_t>(iat));
  }
  return out;
}

std::vector<size_t> Find(const std::vector<uint8_t>& image, const char* dll, const char* fn) {
  return talvor::FindImportSlots(image.data(), image.size(), dll, fn);
}

TEST(PeImports, FindsTheSlotOfANamedImportInPe32AndPe32Plus) {
  const std::vector<Import> imports = {
      {"KERNEL32.dll", {"Sleep", "GetLastError"}},
      {"WINMM.DLL", {"timeGetTime", "#7", "sndPlaySoundA"}},
      {"msvcrt.dll", {"sndPlaySoundA"}},  // same function name, other DLL
  };
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    const BuiltImage img = BuildImage(imports, wide);
    EXPECT_EQ(Find(img.bytes, "WINMM.dll", "sndPlaySoundA"), std::vector<size_t>{img.slots[1][2]});
    EXPECT_EQ(Find(img.bytes, "winmm.dll", "timeGetTime"), std::vector<size_t>{img.slots[1][0]});
    EXPECT_EQ(Find(img.bytes, "KERNEL32.DLL", "GetLastError"), std::vector<size_t>{img.slots[0][1]});
  }
}

TEST(PeImports, FindsNothingWhereTheImportCannotBeNamed) {
  struct Case {
    const char* what;
    std::vector<Import> imports;
  };
  const Case cases[] = {
      {"not imported", {{"WINMM.dll", {"timeGetTime"}}}},
      {"imported from another DLL", {{"KERNEL32.dll", {"sndPlaySoundA"}}}},
      {"imported by ordinal", {{"WINMM.dll", {"#142"}}}},
      {"no name table", {{"WINMM.dll", {"sndPlaySoundA"}, false}}},
      {"a longer DLL name", {{"WINMM.dll.bak", {"sndPlaySoundA"}}}},
      {"no imports", {}},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Find(BuildImage(c.imports).bytes, "WINMM.dll", "sndPlaySoundA").empty()) << c.what;
  }
}

TEST(PeImports, ATruncatedOrForeignImageReadsNothingOutsideIt) {
  const BuiltImage img = BuildImage({{"WINMM.dll", {"timeGetTime", "sndPlaySoundA"}}});
  const std::vector<size_t> whole = Find(img.bytes, "WINMM.dll", "sndPlaySoundA");
  ASSERT_EQ(whole.size(), 1u);
  // Every prefix: the answer is the whole one or nothing, and (under the
  // sanitizers) no read leaves the buffer.
  for (size_t size = 0; size < img.bytes.size(); size += 7) {
    const std::vector<uint8_t> cut(img.bytes.begin(), img.bytes.begin() + size);
    const std::vector<size_t> got = Find(cut, "WINMM.dll", "sndPlaySoundA");
    EXPECT_TRUE(got.empty() || got == whole) << "image cut to " << size << " bytes";
  }
  std::vector<uint8_t> elf(img.bytes);
  elf[0] = 0x7f;
  elf[1] = 'E';
  EXPECT_TRUE(Find(elf, "WINMM.dll", "sndPlaySoundA").empty());
  std::vector<uint8_t> far_header(img.bytes);
  Put<uint32_t>(far_header, 0x3c, 0xfffffff0u);
  EXPECT_TRUE(Find(far_header, "WINMM.dll", "sndPlaySoundA").empty());
}

// The built Windows module, laid out as the loader maps it.
std::vector<uint8_t> MapImage(const std::vector<uint8_t>& file, uint32_t& iat_rva, uint32_t& iat_size) {
  auto u16 = [&](size_t at) { uint16_t v; std::memcpy(&v, file.data() + at, 2); return v; };
  auto u32 = [&](size_t at) { uint32_t v; std::memcpy(&v, file.data() + at, 4); return v; };
  const size_t nt = u32(0x3c);
  const size_t optional = nt + 24;
  std::vector<uint8_t> image(u32(optional + 56), 0);
  const uint32_t headers = u32(optional + 60);
  std::memcpy(image.data(), file.data(), std::min<size_t>(headers, file.size()));
  iat_rva = u32(optional + 96 + 8 * 12);  // directory 12: the import address table
  iat_size = u32(optional + 96 + 8 * 12 + 4);
  const size_t sections = optional + u16(nt + 20);
  for (size_t i = 0; i < u16(nt + 6); ++i) {
    const size_t s = sections + 40 * i;
    const uint32_t rva = u32(s + 12), raw_size = u32(s + 16), raw = u32(s + 20);
    const size_t n = std::min<size_t>({raw_size, image.size() - rva, file.size() - raw});
    std::memcpy(image.data() + rva, file.data() + raw, n);
  }
  return image;
}

TEST(PeImports, FindsTheSoundImportOfTheBuiltWindowsModule) {
  const char* env = std::getenv("TALVOR_WIN32_MODULE");
  const std::string path = env != nullptr ? env : std::string(TALVOR_SOURCE_DIR) + "/build/win32/jovTalvor.gau";
  std::ifstream in(path, std::ios::binary);
  if (!in) GTEST_SKIP() << path << " not built (scripts/build-win32.sh)";
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  uint32_t iat_rva = 0, iat_size = 0;
  const std::vector<uint8_t> image = MapImage(file, iat_rva, iat_size);
  const std::vector<size_t> slots = Find(image, "WINMM.dll", "sndPlaySoundA");
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_GE(slots[0], iat_rva);
  EXPECT_LE(slots[0] + 4, size_t{iat_rva} + iat_size);
  EXPECT_TRUE(Find(image, "KERNEL32.dll", "sndPlaySoundA").empty());
}

}  // namespace
