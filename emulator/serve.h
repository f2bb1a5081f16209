// The live previewer: a simulation thread owns a Session and runs it at 18
// updates a second with the emulator's own flight model; HTTP requests reach
// it through a command queue. Request handling is plain functions of a
// request (Handle), so it can be tested and fuzzed without a socket.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emulator/flight_model.h"
#include "emulator/session.h"

namespace talvor {

struct HttpRequest {
  std::string method;                        // "GET", "POST", ...
  std::string path;                          // "/api/frame"
  std::map<std::string, std::string> query;  // decoded query parameters
  std::string body;
};

struct HttpResponse {
  int status = 200;
  std::string content_type = "application/json";
  std::string body;
};

// Request bodies beyond this are refused (413) before they are parsed.
inline constexpr size_t kMaxRequestBody = 64 * 1024;

struct PreviewOptions {
  // Where the sound files are served from; "" for the emulator's default.
  std::string sound_dir;
  // Start in the air (3000 ft, 110 kt, matching throttle) rather than as
  // the panel left the variables.
  bool start_airborne = true;
  FlightModel::Settings model;
};

class Previewer {
 public:
  Previewer(std::unique_ptr<Session> session, PreviewOptions options = {});
  ~Previewer();
  Previewer(const Previewer&) = delete;
  Previewer& operator=(const Previewer&) = delete;

  // Starts the simulation thread: 18 updates a second while not paused.
  // Until then (as in tests) commands run on the calling thread and Tick()
  // advances the panel.
  void Start();
  void Stop();

  // One update: the flight model, the Session's update cycle, the gauges
  // drawn and what changed published for the pages.
  void Tick();

  // Answers one request. Never throws; a bad request gets a 4xx with a JSON
  // {"error": "..."} body and changes nothing.
  HttpResponse Handle(const HttpRequest& request);

  struct Stats {
    uint64_t updates = 0;
    double updates_per_second = 0;  // over the last second of real time
    double mean_tick_ms = 0;        // update + draw + publish, averaged
  };
  Stats GetStats() const;

 private:
  struct Published;
  struct Control;
  class SessionVars;
  static const std::vector<Control>& Controls();

  // Runs `fn` with the Session on the simulation thread (or inline before
  // Start), waiting for it; false when the simulation did not answer.
  bool Execute(const std::function<void()>& fn);
  void Loop();
  void TickLocked();
  void Publish(bool tick, double tick_ms = 0);
  bool ResolveGauge(const std::string& text, int& instance, HttpResponse& error) const;

  HttpResponse GetPanel();
  HttpResponse GetFrame(const HttpRequest& r);
  HttpResponse PostMouse(const HttpRequest& r);
  HttpResponse GetTooltip(const HttpRequest& r);
  HttpResponse PostControl(const HttpRequest& r);
  HttpResponse PostFailure(const HttpRequest& r);
  HttpResponse PostFlag(const HttpRequest& r, const std::string& which);
  HttpResponse PostStep(const HttpRequest& r);
  HttpResponse PostView(const HttpRequest& r);
  HttpResponse GetSound(const HttpRequest& r);
  HttpResponse GetStatsResponse();

  std::unique_ptr<Session> session_;
  PreviewOptions options_;
  FlightModel model_;
  std::unique_ptr<SessionVars> vars_;
  std::string boot_;  // identifies this run to the pages

  // Command queue to the simulation thread.
  std::mutex queue_mutex_;
  std::condition_variable queue_cv_;
  std::deque<std::function<void()>> queue_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::mutex inline_mutex_;  // serialises inline commands before Start

  // Simulation-side state (touched on the simulation thread only).
  bool paused_ = false;
  bool night_ = false;
  double scale_ = 1.0;
  bool all_dirty_ = true;        // redraw every gauge at the next publish
  int mouse_gauge_ = -1;         // instance holding the button, -1 for none
  std::vector<Raster> drawn_;    // per instance, the latest picture
  std::vector<InstanceInfo> infos_;  // per instance; fixed once the panel is loaded
  // What the module's records say of each element, in drawing order.
  struct ElementRecord {
    uint32_t image_flags = 0;
    std::vector<std::pair<uint32_t, uint32_t>> failures;  // key, action
  };
  std::vector<std::vector<ElementRecord>> element_records_;  // per instance

  std::unique_ptr<Published> pub_;
};

struct ServeOptions {
  std::string panel;             // panel configuration file; "" for examples/panel.cfg
  std::string module;            // "" for the default module
  std::string host = "127.0.0.1";
  int port = 8018;               // 0: any free port
  std::string sound_dir;         // "" for the emulator's default
};

// Loads the panel, starts the previewer and serves it until the process is
// interrupted (SIGINT, SIGTERM). Prints "http://HOST:PORT/" once listening.
// Returns the process exit code (errors are reported on stderr).
int Serve(const ServeOptions& options);

}  // namespace talvor
