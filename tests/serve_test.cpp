// The previewer's request handling, without a socket: requests go straight
// to Previewer::Handle, and (until Start) commands run on the test's thread
// while Tick() advances the panel.
#include <gtest/gtest.h>

#if TALVOR_HAVE_SERVE
#include "emulator/serve.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "emulator/sounds.h"
#include "host/catalogue.h"
#include "host/records.h"
#include "tests/test_support.h"

namespace talvor {
namespace {

using json = nlohmann::json;

struct Reply {
  int status;
  json body;
};

class ServeTest : public ::testing::Test {
 protected:
  // The real module's gauges, side by side.
  void Open(const std::vector<std::string>& gauges) {
    auto session = std::make_unique<Session>(Session::DefaultModulePath());
    int x = 0;
    for (const std::string& g : gauges) {
      session->AddGauge(g, x, 0);
      x += 520;
    }
    PreviewOptions options;
    // A folder of its own: ctest may run these tests side by side.
    options.sound_dir =
        testing::FreshDir(std::string("serve-sounds-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    WriteSounds(options.sound_dir);
    previewer_ = std::make_unique<Previewer>(std::move(session), options);
    panel_ = Get("/api/panel").body;
  }

  Reply Call(const std::string& method, const std::string& path, const std::map<std::string, std::string>& query = {},
             const std::string& body = "") {
    HttpResponse r = previewer_->Handle({method, path, query, body});
    json parsed = r.content_type == "application/json" ? json::parse(r.body, nullptr, false) : json(r.body);
    EXPECT_FALSE(parsed.is_discarded()) << path << ": " << r.body;
    return {r.status, parsed};
  }
  Reply Get(const std::string& path, const std::map<std::string, std::string>& query = {}) { return Call("GET", path, query); }
  Reply Post(const std::string& path, const json& body) { return Call("POST", path, {}, body.dump()); }

  // Everything published as of now, without waiting.
  json Frame(uint64_t since = 0, int inspect = -1) {
    std::map<std::string, std::string> q{{"since", std::to_string(since)}, {"wait", "0"}};
    if (inspect >= 0) q["inspect"] = std::to_string(inspect);
    Reply r = Get("/api/frame", q);
    EXPECT_EQ(r.status, 200) << r.body.dump();
    return r.body;
  }

  int Index(const std::string& gauge) const {
    for (const json& g : panel_["gauges"])
      if (g["name"] == gauge) return g["index"].get<int>();
    ADD_FAILURE() << "no " << gauge << " on the panel";
    return 0;
  }

  // The centre of the first child area of a gauge whose flags hold `flags`.
  std::pair<int, int> AreaCentre(const std::string& gauge, uint32_t flags) const {
    for (const json& a : panel_["gauges"][Index(gauge)]["areas"]) {
      if (a["type"] == kMouseChild && (a["flags"].get<uint32_t>() & flags) == flags) {
        return {a["box"][0].get<int>() + a["box"][2].get<int>() / 2, a["box"][1].get<int>() + a["box"][3].get<int>() / 2};
      }
    }
    ADD_FAILURE() << gauge << " has no area asking for " << std::hex << flags;
    return {0, 0};
  }

  std::vector<json> Events(const json& frame, uint32_t event) const {
    std::vector<json> out;
    for (const json& e : frame["log"])
      if (e["kind"] == "event" && e["event"] == event) out.push_back(e);
    return out;
  }

  std::unique_ptr<Previewer> previewer_;
  json panel_;
};

TEST_F(ServeTest, BadRequestsAreRefusedAndChangeNothing) {
  Open({"S_TEC55", "Throttle Lever"});
  const json before = Frame();
  const std::string big(kMaxRequestBody + 1, ' ');
  struct Case {
    const char* what;
    std::string method, path;
    std::map<std::string, std::string> query;
    std::string body;
    int status;
  };
  const Case cases[] = {
      {"unknown gauge index", "POST", "/api/mouse", {}, R"({"gauge":9,"action":"down","x":1,"y":1})", 404},
      {"unknown gauge name", "POST", "/api/mouse", {}, R"({"gauge":"S_TEC 55","action":"down","x":1,"y":1})", 404},
      {"negative gauge", "POST", "/api/mouse", {}, R"({"gauge":-1,"action":"down","x":1,"y":1})", 400},
      {"left of the face", "POST", "/api/mouse", {}, R"({"gauge":0,"action":"down","x":-1,"y":5})", 400},
      {"right of the face", "POST", "/api/mouse", {}, R"({"gauge":0,"action":"down","x":498,"y":5})", 400},
      {"below the face", "POST", "/api/mouse", {}, R"({"gauge":0,"action":"down","x":5,"y":119})", 400},
      {"absurd drag", "POST", "/api/mouse", {}, R"({"gauge":0,"action":"move","x":1e300,"y":5})", 400},
      {"unknown action", "POST", "/api/mouse", {}, R"({"gauge":0,"action":"wiggle","x":1,"y":1})", 400},
      {"no coordinates", "POST", "/api/mouse", {}, R"({"gauge":0,"action":"down"})", 400},
      {"move without the button", "POST", "/api/mouse", {}, R"({"gauge":0,"action":"move","x":1,"y":1})", 409},
      {"up without the button", "POST", "/api/mouse", {}, R"({"gauge":0,"action":"up"})", 409},
      {"malformed JSON", "POST", "/api/control", {}, R"({"key":"altitude-ft","value":)", 400},
      {"not an object", "POST", "/api/control", {}, R"([1,2])", 400},
      {"empty body", "POST", "/api/failure", {}, "", 400},
      {"huge body", "POST", "/api/control", {}, big, 413},
      {"unknown variable", "POST", "/api/control", {}, R"({"key":"VarAltitudeFeet","value":1})", 404},
      {"token zero", "POST", "/api/control", {}, R"({"key":"0","value":1})", 404},
      {"clock variable", "POST", "/api/control", {}, R"({"key":"VarClockHour","value":3})", 400},
      {"out of range", "POST", "/api/control", {}, R"({"key":"altitude-ft","value":1e9})", 400},
      {"string for a number", "POST", "/api/control", {}, R"({"key":"airspeed-kt","value":"120"})", 400},
      {"number for a toggle", "POST", "/api/control", {}, R"({"key":"avionics-master","value":1})", 400},
      {"bad time", "POST", "/api/control", {}, R"({"key":"time","value":"24:00:00"})", 400},
      {"shown, not set", "POST", "/api/control", {}, R"({"key":"update","value":3})", 400},
      {"unknown failure", "POST", "/api/failure", {}, R"({"key":7,"on":true})", 400},
      {"failure without on", "POST", "/api/failure", {}, R"({"key":21})", 400},
      {"step while running", "POST", "/api/step", {}, R"({"updates":1})", 409},
      {"scale too large", "POST", "/api/view", {}, R"({"scale":100})", 400},
      {"pause with a string", "POST", "/api/pause", {}, R"({"on":"yes"})", 400},
      {"GET for a command", "GET", "/api/mouse", {}, "", 405},
      {"POST for a query", "POST", "/api/frame", {}, "{}", 405},
      {"unknown path", "GET", "/api/nothing", {}, "", 404},
      {"tooltip without y", "GET", "/api/tooltip", {{"gauge", "0"}, {"x", "3"}}, "", 400},
      {"tooltip, x not a number", "GET", "/api/tooltip", {{"gauge", "0"}, {"x", "1e3"}, {"y", "3"}}, "", 400},
      {"tooltip off the face", "GET", "/api/tooltip", {{"gauge", "0"}, {"x", "3"}, {"y", "500"}}, "", 400},
      {"frame since garbage", "GET", "/api/frame", {{"since", "x1"}, {"wait", "0"}}, "", 400},
      {"frame wait too long", "GET", "/api/frame", {{"wait", "3600000"}}, "", 400},
      {"inspect unknown gauge", "GET", "/api/frame", {{"inspect", "12"}, {"wait", "0"}}, "", 404},
      {"sound never played", "GET", "/api/sound", {{"name", "..\\..\\etc\\passwd"}}, "", 404},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Reply r = Call(c.method, c.path, c.query, c.body);
    EXPECT_EQ(r.status, c.status) << r.body.dump();
    ASSERT_TRUE(r.body.is_object());
    ASSERT_TRUE(r.body.contains("error"));
    EXPECT_FALSE(r.body["error"].get<std::string>().empty());
  }
  const json after = Frame();
  EXPECT_EQ(after["values"], before["values"]);
  EXPECT_EQ(after["failures"], before["failures"]);
  EXPECT_EQ(after["update"], before["update"]);
  EXPECT_EQ(after["log"], before["log"]);
  EXPECT_EQ(after["paused"], false);
  EXPECT_EQ(after["scale"], 1.0);
}

TEST_F(ServeTest, PanelDescribesGaugesAndMouseAreas) {
  Open({"S_TEC55", "Airspeed"});
  ASSERT_EQ(panel_["gauges"].size(), 2u);
  const json& stec = panel_["gauges"][0];
  EXPECT_EQ(stec["name"], "S_TEC55");
  EXPECT_EQ(stec["face_w"], 498);
  EXPECT_EQ(stec["face_h"], 119);
  EXPECT_EQ(stec["x"], 0);
  EXPECT_EQ(panel_["gauges"][1]["x"], 520);
  EXPECT_GE(panel_["width"].get<int>(), 520 + 306);
  // The outer parent is the whole face; children carry cursors and flags.
  const json& areas = stec["areas"];
  ASSERT_FALSE(areas.empty());
  EXPECT_EQ(areas[0]["type"], kMouseParent);
  EXPECT_EQ(areas[0]["box"], json({0, 0, 498, 119}));
  bool repeat_child = false;
  for (const json& a : areas) repeat_child |= a["type"] == kMouseChild && a["flags"] == kMouseClickRepeat;
  EXPECT_TRUE(repeat_child);
  // The airspeed's tooltip comes with its parent.
  EXPECT_EQ(panel_["gauges"][1]["areas"][0]["tooltip"], "Airspeed Indicator - Ground Speed: %1!d! knots");

  // The inspector sees each element with its image flags and failure list.
  const json elements = Frame(0, 1)["elements"];
  ASSERT_GE(elements.size(), 2u);
  EXPECT_EQ(elements[0]["kind"], kElementStatic);
  EXPECT_EQ(elements[0]["bitmap_id"], 0x1300);
  EXPECT_EQ(elements[0]["image_flags"], 0x83);
  const json& needle = elements[1];
  EXPECT_EQ(needle["kind"], kElementNeedle);
  EXPECT_EQ(needle["failures"], json({{3, 2}, {6, 2}}));
  EXPECT_TRUE(needle.contains("angle"));
}

TEST_F(ServeTest, FramesCarryOnlyWhatChanged) {
  Open({"S_TEC55", "Throttle Lever"});
  const json first = Frame();
  ASSERT_EQ(first["gauges"].size(), 2u);
  for (const json& g : first["gauges"]) {
    const std::string png = g["png"];
    EXPECT_EQ(png.substr(0, 8), "iVBORw0K");  // base64 of the PNG signature
  }
  const uint64_t v = first["version"];

  // Nothing moves on the lever: the next update sends no new picture of it.
  previewer_->Tick();
  json next = Frame(v);
  EXPECT_GT(next["version"].get<uint64_t>(), v);
  for (const json& g : next["gauges"]) EXPECT_NE(g["index"], Index("Throttle Lever"));

  // Night lighting redraws every gauge, darker.
  ASSERT_EQ(Post("/api/night", {{"on", true}}).status, 200);
  next = Frame(next["version"]);
  EXPECT_EQ(next["night"], true);
  EXPECT_EQ(next["gauges"].size(), 2u);
  for (const json& g : next["gauges"]) EXPECT_NE(g["png"], first["gauges"][g["index"].get<int>()]["png"]);

  // A new scale redraws them at that size; IHDR's width sits at bytes 16..19.
  ASSERT_EQ(Post("/api/view", {{"scale", 0.5}}).status, 200);
  next = Frame(next["version"]);
  ASSERT_EQ(next["gauges"].size(), 2u);
  const std::string png = next["gauges"][0]["png"];
  static const std::string kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 3 < 32; i += 4) {
    uint32_t n = 0;
    for (int k = 0; k < 4; ++k) n = (n << 6) | static_cast<uint32_t>(kDigits.find(png[i + k]));
    bytes.insert(bytes.end(), {uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  }
  const uint32_t width = (uint32_t(bytes[16]) << 24) | (uint32_t(bytes[17]) << 16) | (uint32_t(bytes[18]) << 8) | bytes[19];
  EXPECT_EQ(width, 249u);  // 498 / 2
}

TEST_F(ServeTest, MouseDrivesTheGauges) {
  Open({"S_TEC55", "Throttle Lever"});
  uint64_t v = Frame()["version"];

  // A drag on the lever that leaves the gauge goes on: the last position,
  // far below the face, closes the throttle.
  const int lever = Index("Throttle Lever");
  const auto [lx, ly] = AreaCentre("Throttle Lever", kMouseLeftDrag);
  ASSERT_EQ(Post("/api/mouse", {{"gauge", lever}, {"action", "down"}, {"x", lx}, {"y", ly}}).status, 200);
  ASSERT_EQ(Post("/api/mouse", {{"gauge", lever}, {"action", "move"}, {"x", lx}, {"y", ly - 40}}).status, 200);
  ASSERT_EQ(Post("/api/mouse", {{"gauge", lever}, {"action", "move"}, {"x", lx + 300}, {"y", 1000}}).status, 200);
  ASSERT_EQ(Post("/api/mouse", {{"gauge", lever}, {"action", "up"}}).status, 200);
  json frame = Frame(v);
  const auto sets = Events(frame, EvtThrottleSet);
  ASSERT_EQ(sets.size(), 3u) << frame["log"].dump();
  EXPECT_GT(sets[1]["value"].get<uint32_t>(), sets[0]["value"].get<uint32_t>());
  EXPECT_EQ(sets[2]["value"], 0);
  EXPECT_EQ(sets[0]["name"], "EvtThrottleSet");

  // Held on the VS knob, the click is repeated at every update.
  v = frame["version"];
  const int stec = Index("S_TEC55");
  const auto [kx, ky] = AreaCentre("S_TEC55", kMouseClickRepeat);
  ASSERT_EQ(Post("/api/mouse", {{"gauge", stec}, {"action", "down"}, {"x", kx}, {"y", ky}}).status, 200);
  for (int i = 0; i < 4; ++i) previewer_->Tick();
  ASSERT_EQ(Post("/api/mouse", {{"gauge", stec}, {"action", "up"}, {"x", kx}, {"y", ky}}).status, 200);
  previewer_->Tick();
  frame = Frame(v);
  const size_t steps = Events(frame, EvtApVsRefInc).size() + Events(frame, EvtApVsRefDec).size();
  EXPECT_EQ(steps, 5u) << frame["log"].dump();  // the click and four repeats
}

TEST_F(ServeTest, ControlsAndFailuresReachTheHost) {
  Open({"Airspeed"});
  struct Case {
    std::string key;
    json value;
    std::string shown_as;  // the side-panel value that shows it
    json want;
  };
  const Case cases[] = {
      {"altitude-ft", 4500, "altitude-ft", 4500},
      {"bus-voltage", 13.5, "bus-voltage", 13.5},
      {"VarBusVoltage", 27.5, "bus-voltage", 27.5},
      {"350", 20.0 / 256, "oat-c", 20},
      {"oat-c", -12, "oat-c", -12},
      {"avionics-master", false, "avionics-master", false},
      {"marker-beacon", 2, "marker-beacon", 2},
      {"sim-rate", 4, "sim-rate", 4},
      {"time", "12:34:56", "time", "12:34:56"},
      {"ground-speed-kt", 150, "ground-speed-kt", 150},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    ASSERT_EQ(Post("/api/control", {{"key", c.key}, {"value", c.value}}).status, 200);
    const json shown = Frame()["values"][c.shown_as];
    if (c.want.is_number())
      EXPECT_NEAR(shown.get<double>(), c.want.get<double>(), 1e-6);
    else
      EXPECT_EQ(shown, c.want);
  }

  // The ground speed reaches the airspeed's tooltip through the GPS record.
  previewer_->Tick();
  const Reply tip = Get("/api/tooltip", {{"gauge", "Airspeed"}, {"x", "150"}, {"y", "150"}});
  ASSERT_EQ(tip.status, 200);
  EXPECT_EQ(tip.body["text"], "Airspeed Indicator - Ground Speed: 150 knots");

  ASSERT_EQ(Post("/api/failure", {{"key", 6}, {"on", true}}).status, 200);
  EXPECT_EQ(Frame()["failures"], json({6}));
  previewer_->Tick();
  EXPECT_EQ(Frame(0, 0)["elements"][1]["failure_action"], 2);
}

TEST_F(ServeTest, PauseStepAndSounds) {
  Open({"jovAltPreselector"});
  ASSERT_EQ(Post("/api/pause", {{"on", true}}).status, 200);
  const uint64_t update = Frame()["update"];
  ASSERT_EQ(Post("/api/step", {{"updates", 3}}).status, 200);
  EXPECT_EQ(Frame()["update"].get<uint64_t>(), update + 3);

  // The power-up test ends with the chime, which the page can then fetch.
  ASSERT_EQ(Post("/api/step", {{"updates", 18 * 7}}).status, 200);
  json chime;
  const json frame = Frame();
  for (const json& e : frame["log"])
    if (e["kind"] == "sound") chime = e;
  ASSERT_FALSE(chime.is_null()) << frame["log"].dump();
  EXPECT_EQ(chime["name"], "Sound\\dingdong.wav");
  EXPECT_EQ(chime["found"], true);
  const HttpResponse wav = previewer_->Handle({"GET", "/api/sound", {{"name", "Sound\\dingdong.wav"}}, ""});
  EXPECT_EQ(wav.status, 200);
  EXPECT_EQ(wav.content_type, "audio/wav");
  EXPECT_EQ(wav.body.substr(0, 4), "RIFF");
}

TEST_F(ServeTest, PageIsServed) {
  Open({"Spoiler"});
  for (const char* path : {"/", "/app.js", "/style.css"}) {
    const HttpResponse r = previewer_->Handle({"GET", path, {}, ""});
    EXPECT_EQ(r.status, 200) << path;
    EXPECT_FALSE(r.body.empty()) << path;
  }
  EXPECT_NE(previewer_->Handle({"GET", "/", {}, ""}).body.find("<script src=\"app.js\">"), std::string::npos);
  EXPECT_EQ(previewer_->Handle({"GET", "/app.js", {}, ""}).content_type.rfind("text/javascript", 0), 0u);
}

// With the simulation thread running, requests from several threads are
// answered and a long poll returns as soon as there is something new.
TEST_F(ServeTest, RunsOnItsOwnThread) {
  Open({"S_TEC55"});
  previewer_->Start();
  uint64_t version = 0, update = 0;
  for (int i = 0; i < 5; ++i) {
    const Reply r = Get("/api/frame", {{"since", std::to_string(version)}, {"wait", "5000"}});
    ASSERT_EQ(r.status, 200);
    EXPECT_GT(r.body["version"].get<uint64_t>(), version);
    EXPECT_GE(r.body["update"].get<uint64_t>(), update);
    version = r.body["version"];
    update = r.body["update"];
  }
  std::vector<std::thread> clients;
  std::vector<int> statuses(4);
  for (int t = 0; t < 4; ++t) {
    clients.emplace_back([&, t] {
      statuses[t] = Post("/api/control", {{"key", "bus-voltage"}, {"value", 20 + t}}).status;
    });
  }
  for (auto& c : clients) c.join();
  for (int s : statuses) EXPECT_EQ(s, 200);
  previewer_->Stop();
  EXPECT_GT(previewer_->GetStats().updates, 1u);
}

}  // namespace
}  // namespace talvor
#endif  // TALVOR_HAVE_SERVE
