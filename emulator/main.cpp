// talvor-panel: the panel host emulator's command line.
//   talvor-panel render PANEL -o OUT.png [--updates N] [--scale S]
//   talvor-panel run SCENARIO [--trace OUT.jsonl] [--trace-values]
// Exit codes: 0 ok, 1 a failed expectation or a runtime error, 2 a usage or
// parse error. Messages go to stderr and start with "talvor-panel: ".
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

#include "emulator/output_file.h"
#include "emulator/panel_config.h"
#include "emulator/scenario.h"
#include "emulator/session.h"
#include "emulator/trace.h"

#if TALVOR_HAVE_SERVE
#include "emulator/serve.h"
#endif

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Complain(const std::string& message, int code) {
  std::cerr << "talvor-panel: " << message << "\n";
  return code;
}

struct RenderArgs {
  std::string panel;
  std::string out;
  int updates = 1;
  double scale = 1.0;
  std::string gauges;
  bool night = false;
};

int Render(const RenderArgs& a) {
  talvor::PanelConfig config;
  try {
    config = talvor::ReadPanelConfig(a.panel);
    config.MainWindow();
  } catch (const talvor::PanelError& e) {
    return Complain(e.what(), kUsage);
  }
  try {
    std::string module_path = talvor::Session::DefaultModulePath();
    const auto& gauges = config.MainWindow().gauges;
    if (!gauges.empty()) {
      const std::string& module = gauges.front().module;
      module_path = talvor::FindModuleFile(module, talvor::GaugesDirForPanel(a.panel, module, a.gauges));
    }
    talvor::Session session(module_path);
    session.LoadPanel(a.panel);
    session.SetNight(a.night);
    session.Run(a.updates);
    talvor::WritePng(session.RenderPanel(a.scale), a.out);
  } catch (const talvor::PanelError& e) {
    return Complain(e.what(), kUsage);
  } catch (const std::exception& e) {
    return Complain(e.what(), kFailed);
  }
  return kOk;
}

struct RunArgs {
  std::string scenario;
  std::string trace;
  bool trace_values = false;
  std::string module;
  std::string gauges;
  std::string snapshots;
  bool no_snapshots = false;
  std::string sound_dir;
};

int RunScenario(const RunArgs& a) {
  talvor::Scenario scenario;
  try {
    scenario = talvor::ReadScenario(a.scenario);
  } catch (const talvor::ScenarioParseError& e) {
    return Complain(e.what(), kUsage);
  }
  talvor::ScenarioOptions options;
  options.module_path = a.module;
  options.gauges_dir = a.gauges;
  options.snapshot_dir = a.snapshots;
  options.snapshots = !a.no_snapshots;
  options.sound_dir = a.sound_dir;
  options.trace_values = a.trace_values;
  std::unique_ptr<talvor::OutputFile> trace_file;
  std::unique_ptr<talvor::TraceWriter> trace;
  int code = kOk;
  try {
    if (!a.trace.empty()) {
      trace_file = std::make_unique<talvor::OutputFile>(a.trace);
      trace = std::make_unique<talvor::TraceWriter>(trace_file->stream());
      options.trace = trace.get();
    }
    try {
      talvor::RunScenario(scenario, options);
    } catch (const talvor::ScenarioParseError& e) {
      code = Complain(e.what(), kUsage);
    } catch (const std::exception& e) {
      code = Complain(e.what(), kFailed);
    }
    // The trace is whole up to where the run stopped: worth keeping either way.
    if (trace_file) trace_file->Commit();
  } catch (const std::exception& e) {
    return Complain(e.what(), kFailed);
  }
  if (code == kOk) std::cout << a.scenario << ": passed\n";
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"talvor-panel: loads a gauge module as the simulator's panel system does, and drives it"};
  app.require_subcommand(1);

  RenderArgs render;
  CLI::App* render_cmd = app.add_subcommand("render", "Draw a panel configuration's main window to a PNG file");
  render_cmd->add_option("panel", render.panel, "Panel configuration file")->required();
  render_cmd->add_option("-o,--output", render.out, "PNG file to write")->required();
  render_cmd->add_option("--updates", render.updates, "Update cycles to run first (18 a simulated second)")
      ->check(CLI::Range(0, 1 << 30));
  render_cmd->add_option("--scale", render.scale, "Scale of the picture")->check(CLI::Range(0.01, 16.0));
  render_cmd->add_option("--gauges", render.gauges, "Folder holding the modules the panel names");
  render_cmd->add_flag("--night", render.night, "Night lighting");

  RunArgs run;
  CLI::App* run_cmd = app.add_subcommand("run", "Run a scenario, checking its expectations");
  run_cmd->add_option("scenario", run.scenario, "Scenario file")->required();
  run_cmd->add_option("--trace", run.trace, "Write a JSON-lines trace of events and sounds");
  run_cmd->add_flag("--trace-values", run.trace_values, "Also trace every element's value after each update");
  run_cmd->add_option("--module", run.module, "Module for 'gauge' lines (default: the built module)");
  run_cmd->add_option("--gauges", run.gauges, "Folder holding the modules 'panel' files name");
  run_cmd->add_option("--snapshots", run.snapshots, "Folder for 'snapshot' files (default: the current folder)");
  run_cmd->add_flag("--no-snapshots", run.no_snapshots, "Skip 'snapshot' lines");
  run_cmd->add_option("--sound-dir", run.sound_dir, "The Sound folder (default: $TALVOR_SOUND_DIR or beside the program)");

#if TALVOR_HAVE_SERVE
  talvor::ServeOptions serve;
  CLI::App* serve_cmd = app.add_subcommand("serve", "Preview the panel live in a browser");
  serve_cmd->add_option("panel", serve.panel, "Panel configuration file");
  serve_cmd->add_option("--port", serve.port, "TCP port (0: any free port)")->check(CLI::Range(0, 65535));
  serve_cmd->add_option("--host", serve.host, "Address to listen on");
  serve_cmd->add_option("--module", serve.module, "Module (default: the built module)");
  serve_cmd->add_option("--sound-dir", serve.sound_dir, "The Sound folder");
#endif

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help
    return Complain(std::string(e.what()) + " (see talvor-panel --help)", kUsage);
  }

  if (render_cmd->parsed()) return Render(render);
  if (run_cmd->parsed()) return RunScenario(run);
#if TALVOR_HAVE_SERVE
  if (serve_cmd->parsed()) return talvor::Serve(serve);
#endif
  return kUsage;
}
