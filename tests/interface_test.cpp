// The module as any host sees it: loaded with dlopen, read through nothing
// but the records of host/records.h. Every record a host reads is checked
// here; what the gauges do with it is for their own tests.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "emulator/session.h"
#include "host/records.h"

namespace {

struct GaugeRow {
  const char* name;
  uint32_t width_mm;
  uint32_t face_bitmap;
  uint32_t last_bitmap;  // the gauge's bitmaps are face_bitmap..last_bitmap
};

// In Linkage order.
const GaugeRow kGauges[] = {
    {"S_TEC55", 498, 0x1100, 0x11B2},
    {"jovAltPreselector", 249, 0x1200, 0x12A1},
    {"Airspeed", 306, 0x1300, 0x1310},
    {"Davtron 803", 205, 0x1500, 0x1582},
    {"Throttle Lever", 89, 0x1600, 0x1601},
    {"Mixture Lever", 60, 0x1605, 0x1606},
    {"Elevator Trim", 60, 0x1610, 0x1612},  // its face is 152 pixels wide
    {"GMA340", 500, 0x1700, 0x1717},
    {"Spoiler", 78, 0x1800, 0x1800},
};
constexpr size_t kGaugeCount = sizeof kGauges / sizeof kGauges[0];

// Far more than any record list holds: a walk that gets here has run off its list.
constexpr int kWalkLimit = 512;

// The host side: records what the module calls.
std::vector<std::pair<uint32_t, uint32_t>> g_events;
void HOSTCALL TestLookupVar(MODULE_VAR* var) { var->value = 0.0; }
void HOSTCALL TestInitializeVarByName(MODULE_VAR* var, const char*) { var->var_ptr = nullptr; }
void HOSTCALL TestTriggerKeyEvent(uint32_t event, uint32_t value) { g_events.emplace_back(event, value); }
HOST_PANELS g_panels = {sizeof(HOST_PANELS), TestLookupVar, TestInitializeVarByName, TestTriggerKeyEvent};

class ModuleInterface : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = talvor::Session::DefaultModulePath();
    handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    import_table_ = static_cast<IMPORT_ENTRY*>(dlsym(handle_, "ImportTable"));
    linkage_ = static_cast<GAUGE_LINKAGE*>(dlsym(handle_, "Linkage"));
    ASSERT_NE(import_table_, nullptr);
    ASSERT_NE(linkage_, nullptr);
    g_events.clear();
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }

  // The headers up to the first null, at most one past the expected count.
  std::vector<GAUGEHDR*> Gauges() const {
    std::vector<GAUGEHDR*> out;
    for (size_t i = 0; i <= kGaugeCount && linkage_->gauges[i] != nullptr; ++i) out.push_back(linkage_->gauges[i]);
    return out;
  }

  std::string path_;
  void* handle_ = nullptr;
  IMPORT_ENTRY* import_table_ = nullptr;
  GAUGE_LINKAGE* linkage_ = nullptr;
};

TEST_F(ModuleInterface, ImportTableIsTwoEntriesAndTakesTheHostTable) {
  EXPECT_EQ(import_table_[0].id, 0x0Fu);
  EXPECT_EQ(import_table_[0].table, nullptr);
  EXPECT_EQ(import_table_[1].id, 0u);
  EXPECT_EQ(import_table_[1].table, nullptr);

  // Once the host has written its table there, the module calls through it:
  // a press of S_TEC55's HDG button reaches trigger_key_event.
  import_table_[0].table = &g_panels;
  const MOUSERECT* hdg_child = &linkage_->gauges[0]->mouse_rects[2];
  ASSERT_EQ(hdg_child->type, static_cast<uint32_t>(kMouseChild));
  PIXPOINT point{1, 1};
  EXPECT_EQ(hdg_child->function.mouse(&point, kMouseLeftSingle), 0);
  EXPECT_EQ(g_events, (std::vector<std::pair<uint32_t, uint32_t>>{{65725u, 0u}}));
  EXPECT_EQ(import_table_[1].id, 0u);
  EXPECT_EQ(import_table_[1].table, nullptr);
  import_table_[0].table = nullptr;
}

TEST_F(ModuleInterface, LinkageHoldsTheNineGaugesInOrder) {
  EXPECT_EQ(linkage_->module_id, 0x13u);
  EXPECT_EQ(linkage_->flags, 0u);
  EXPECT_EQ(linkage_->priority, 0u);
  EXPECT_EQ(linkage_->version, 0x800u);
  ASSERT_NE(linkage_->init, nullptr);
  ASSERT_NE(linkage_->deinit, nullptr);
  linkage_->init();
  linkage_->deinit();

  const std::vector<GAUGEHDR*> gauges = Gauges();
  ASSERT_EQ(gauges.size(), kGaugeCount) << "Linkage must hold nine headers and then a null";
  for (size_t i = 0; i < kGaugeCount; ++i) {
    SCOPED_TRACE(kGauges[i].name);
    const GAUGEHDR& g = *gauges[i];
    EXPECT_EQ(g.version, 800u);
    ASSERT_NE(g.name, nullptr);
    EXPECT_STREQ(g.name, kGauges[i].name);
    EXPECT_EQ(g.width_mm, kGauges[i].width_mm);
    EXPECT_NE(g.mouse_rects, nullptr);
    EXPECT_NE(g.callback, nullptr);
    EXPECT_EQ(g.user_data, 0u);
    EXPECT_EQ(g.parameters, nullptr);
    EXPECT_EQ(g.flags, 0u);
  }
}

// Checks one element's fields as a host reads them; returns its successors.
void CheckElement(const GAUGEHDR& g, const GaugeRow& row, const ELEMENT_HEADER& e) {
  EXPECT_LE(e.kind, static_cast<uint32_t>(kElementSlider));
  EXPECT_EQ(e.gauge, &g) << "an element names the gauge that owns it";
  EXPECT_EQ(e.previous_position.x, 0);
  EXPECT_EQ(e.previous_position.y, 0);
  EXPECT_EQ(e.previous_element, nullptr);
  EXPECT_EQ(e.special_flags, 0u);
  if (e.kind != kElementNeedle) {
    EXPECT_EQ(e.offset.x, 0);
    EXPECT_EQ(e.offset.y, 0);
  }
  uint32_t frames = 1;
  if (e.kind == kElementString) {
    EXPECT_EQ(e.bitmap_id, kStringBitmapId);
  } else {
    if (e.kind == kElementIcon) {
      const auto& icon = reinterpret_cast<const ELEMENT_ICON&>(e);
      frames = icon.frame_count;
      EXPECT_GE(frames, 1u);
      EXPECT_EQ(icon.switch_type, 0u);
      EXPECT_EQ(icon.scale, 0.0);
      EXPECT_EQ(icon.offset, 0.0);
    }
    EXPECT_GE(e.bitmap_id, row.face_bitmap) << std::hex << e.bitmap_id;
    EXPECT_LE(e.bitmap_id + frames - 1, row.last_bitmap) << std::hex << e.bitmap_id;
  }
  if (e.failures != nullptr) {
    int n = 0;
    while (n < kWalkLimit && e.failures[n].key != 0) {
      EXPECT_EQ(e.failures[n].reserved, 0u);
      ++n;
    }
    EXPECT_LT(n, kWalkLimit) << "failure list without its end record";
  }
}

TEST_F(ModuleInterface, ElementTreesAreWellFormed) {
  const std::vector<GAUGEHDR*> gauges = Gauges();
  ASSERT_EQ(gauges.size(), kGaugeCount);
  for (size_t i = 0; i < kGaugeCount; ++i) {
    SCOPED_TRACE(kGauges[i].name);
    const GAUGEHDR& g = *gauges[i];
    ASSERT_NE(g.elements, nullptr);
    const ELEMENT_HEADER* root = *g.elements;
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->kind, static_cast<uint32_t>(kElementStatic));
    EXPECT_EQ(root->bitmap_id, kGauges[i].face_bitmap);
    EXPECT_EQ(root->position.x, 0);
    EXPECT_EQ(root->position.y, 0);
    EXPECT_EQ(root->image_flags, 0x83u);

    // Depth first, as the host draws; a tree that loops or runs off its
    // lists never ends.
    std::vector<const ELEMENT_HEADER*> stack{root};
    int visited = 0;
    while (!stack.empty() && visited < kWalkLimit) {
      const ELEMENT_HEADER* e = stack.back();
      stack.pop_back();
      ++visited;
      CheckElement(g, kGauges[i], *e);
      if (e->next_elements == nullptr) continue;
      std::vector<const ELEMENT_HEADER*> next;
      for (int k = 0; k < kWalkLimit && e->next_elements[k] != nullptr; ++k) next.push_back(e->next_elements[k]);
      stack.insert(stack.end(), next.rbegin(), next.rend());
    }
    EXPECT_LT(visited, kWalkLimit);
  }
}

// Shape of a mouse list: each entry's fields by type, parents balanced, and
// an end-of-list entry of its own. Returns the top-level parents' boxes and
// how many children each holds.
struct TopParent {
  PIXBOX box;
  int children = 0;
};

std::vector<TopParent> WalkMouseList(const MOUSERECT* list) {
  std::vector<TopParent> top;
  int depth = 0;
  int i = 0;
  for (; i < kWalkLimit; ++i) {
    const MOUSERECT& m = list[i];
    SCOPED_TRACE("mouse entry " + std::to_string(i + 1));
    EXPECT_LE(m.type, static_cast<uint32_t>(kMouseUser));
    if (m.type == kMouseEnd || m.type == kMouseEndParent) {
      EXPECT_EQ(m.cursor, kCursorNone);
      EXPECT_EQ(m.box.x | m.box.y | m.box.w | m.box.h, 0);
      EXPECT_EQ(m.help_id, 0u);
      EXPECT_EQ(m.flags, 0u);
      EXPECT_EQ(m.event_id, 0u);
      EXPECT_EQ(m.function.mouse, nullptr);
      EXPECT_EQ(m.data, nullptr);
    }
    if (m.type == kMouseEnd) {
      EXPECT_EQ(depth, 0) << "the list ends inside a parent";
      break;
    }
    if (m.type == kMouseParent) {
      EXPECT_EQ(m.cursor, kCursorNone);
      EXPECT_EQ(m.flags, 0u);
      EXPECT_EQ(m.event_id, 0u);
      EXPECT_EQ(m.function.mouse, nullptr);
      EXPECT_EQ(m.data, nullptr);
      if (depth == 0) top.push_back({m.box, 0});
      ++depth;
    } else if (m.type == kMouseEndParent) {
      EXPECT_GT(depth, 0) << "an end of parent with no parent open";
      --depth;
    } else if (m.type == kMouseChild) {
      EXPECT_GT(depth, 0) << "a child outside every parent";
      EXPECT_NE(m.function.mouse, nullptr);
      EXPECT_NE(m.flags, 0u);
      EXPECT_EQ(m.event_id, 0u);
      EXPECT_EQ(m.data, nullptr);
      if (!top.empty()) ++top.back().children;
    } else if (m.type == kMouseUser) {
      EXPECT_EQ(m.event_id, 1u);
      EXPECT_NE(m.function.tooltip, nullptr);
      const auto* args = static_cast<const MOUSE_ARG*>(m.data);
      EXPECT_NE(args, nullptr);
      int n = 0;
      while (args != nullptr && n < kWalkLimit && !(args[n].source.id == 0 && args[n].callback == nullptr)) ++n;
      EXPECT_LT(n, kWalkLimit) << "tooltip argument list without its end record";
    }
  }
  EXPECT_LT(i, kWalkLimit) << "mouse list without its end-of-list entry";
  return top;
}

TEST_F(ModuleInterface, MouseListsAreWellFormedAndEachEndsWithItsOwnEntry) {
  const std::vector<GAUGEHDR*> gauges = Gauges();
  ASSERT_EQ(gauges.size(), kGaugeCount);
  for (size_t i = 0; i < kGaugeCount; ++i) {
    const std::string name = kGauges[i].name;
    SCOPED_TRACE(name);
    const std::vector<TopParent> top = WalkMouseList(gauges[i]->mouse_rects);
    if (name == "Elevator Trim") {
      ASSERT_EQ(top.size(), 3u);
      for (const TopParent& p : top) EXPECT_EQ(p.children, 1);
    } else if (name == "Spoiler") {
      ASSERT_EQ(top.size(), 1u);
      EXPECT_EQ(top[0].box.x, 0);
      EXPECT_EQ(top[0].box.y, 0);
      EXPECT_EQ(top[0].box.w, 78);
      EXPECT_EQ(top[0].box.h, 60);
      EXPECT_EQ(top[0].children, 0);
    } else {
      // One outer parent standing for the whole gauge.
      ASSERT_EQ(top.size(), 1u);
      EXPECT_EQ(top[0].box.x | top[0].box.y | top[0].box.w | top[0].box.h, 0);
    }
  }
}

TEST_F(ModuleInterface, EveryBitmapTheRecordsNameIsShipped) {
  const std::filesystem::path dir =
      std::filesystem::path(path_).parent_path() / (std::filesystem::path(path_).stem().string() + ".bitmaps");
  const std::vector<GAUGEHDR*> gauges = Gauges();
  ASSERT_EQ(gauges.size(), kGaugeCount);
  for (const GAUGEHDR* g : gauges) {
    SCOPED_TRACE(g->name);
    std::vector<const ELEMENT_HEADER*> stack{*g->elements};
    for (int visited = 0; !stack.empty() && visited < kWalkLimit; ++visited) {
      const ELEMENT_HEADER* e = stack.back();
      stack.pop_back();
      if (e->kind != kElementString) {
        const uint32_t frames = e->kind == kElementIcon ? reinterpret_cast<const ELEMENT_ICON*>(e)->frame_count : 1;
        for (uint32_t f = 0; f < frames && f < 64; ++f) {
          char name[16];
          std::snprintf(name, sizeof name, "%x.bmp", e->bitmap_id + f);
          EXPECT_TRUE(std::filesystem::is_regular_file(dir / name)) << (dir / name).string();
        }
      }
      for (int k = 0; e->next_elements != nullptr && e->next_elements[k] != nullptr && k < kWalkLimit; ++k) {
        stack.push_back(e->next_elements[k]);
      }
    }
  }
}

// The dynamic symbol table of an ELF shared object: the names it defines
// for others to bind to.
std::set<std::string> DefinedDynamicSymbols(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto fits = [&](size_t at, size_t n) { return at <= bytes.size() && n <= bytes.size() - at; };
  std::set<std::string> out;
  if (!fits(0, sizeof(Elf64_Ehdr)) || std::memcmp(bytes.data(), ELFMAG, SELFMAG) != 0 ||
      bytes[EI_CLASS] != ELFCLASS64) {
    *error = "not a 64-bit ELF file";
    return out;
  }
  Elf64_Ehdr eh;
  std::memcpy(&eh, bytes.data(), sizeof eh);
  std::vector<Elf64_Shdr> sections(eh.e_shnum);
  for (size_t i = 0; i < sections.size(); ++i) {
    const size_t at = eh.e_shoff + i * eh.e_shentsize;
    if (!fits(at, sizeof(Elf64_Shdr))) {
      *error = "section header out of the file";
      return out;
    }
    std::memcpy(&sections[i], bytes.data() + at, sizeof(Elf64_Shdr));
  }
  for (const Elf64_Shdr& s : sections) {
    if (s.sh_type != SHT_DYNSYM || s.sh_link >= sections.size()) continue;
    const Elf64_Shdr& strtab = sections[s.sh_link];
    for (size_t at = s.sh_offset; at + sizeof(Elf64_Sym) <= s.sh_offset + s.sh_size; at += sizeof(Elf64_Sym)) {
      if (!fits(at, sizeof(Elf64_Sym))) break;
      Elf64_Sym sym;
      std::memcpy(&sym, bytes.data() + at, sizeof sym);
      const unsigned bind = ELF64_ST_BIND(sym.st_info);
      if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK && bind != STB_GNU_UNIQUE)) continue;
      const size_t name_at = strtab.sh_offset + sym.st_name;
      if (!fits(name_at, 1)) continue;
      std::string name(bytes.data() + name_at, strnlen(bytes.data() + name_at, bytes.size() - name_at));
      if (ELF64_ST_TYPE(sym.st_info) != STT_OBJECT) name += " (not data)";
      out.insert(name);
    }
  }
  return out;
}

TEST_F(ModuleInterface, ExportsImportTableAndLinkageAlone) {
  std::string error;
  const std::set<std::string> symbols = DefinedDynamicSymbols(path_, &error);
  ASSERT_TRUE(error.empty()) << path_ << ": " << error;
  EXPECT_EQ(symbols, (std::set<std::string>{"ImportTable", "Linkage"}));
}

}  // namespace
