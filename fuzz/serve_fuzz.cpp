// The previewer's request handling on any request, without a socket. An input
// is text: "METHOD PATH" on the first line, then "key=value" query lines up to
// an empty line, then the body. Every answer must be a well-formed response:
// a status the handler means (never the 500 of an exception that escaped a
// handler), and JSON where it says JSON.
//
// One previewer of the example panel serves every input, so requests build on
// the state earlier ones left, as a page's requests do.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "emulator/serve.h"
#include "emulator/session.h"
#include "emulator/sounds.h"

namespace {

[[noreturn]] void Fail(const std::string& what, const talvor::HttpRequest& request, const talvor::HttpResponse& response) {
  std::fprintf(stderr, "serve_fuzz: %s\n  request: %s %s\n  answer: %d %s\n", what.c_str(), request.method.c_str(),
               request.path.c_str(), response.status, response.body.substr(0, 400).c_str());
  std::abort();
}

talvor::Previewer& Previewer() {
  static talvor::Previewer* previewer = [] {
    auto session = std::make_unique<talvor::Session>(talvor::Session::DefaultModulePath());
    session->LoadPanel(TALVOR_SOURCE_DIR "/examples/panel.cfg");
    talvor::PreviewOptions options;
    options.sound_dir = (std::filesystem::temp_directory_path() / "talvor-serve-fuzz-sounds").string();
    std::filesystem::create_directories(options.sound_dir);
    talvor::WriteSounds(options.sound_dir);
    // Kept for the life of the process: inputs build on one another.
    return new talvor::Previewer(std::move(session), options);
  }();
  return *previewer;
}

talvor::HttpRequest Parse(const std::string& text) {
  talvor::HttpRequest r;
  size_t pos = 0;
  auto line = [&]() -> std::string {
    const size_t end = text.find('\n', pos);
    std::string out = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size() : end + 1;
    return out;
  };
  const std::string first = line();
  const size_t blank = first.find(' ');
  r.method = first.substr(0, blank);
  r.path = blank == std::string::npos ? "" : first.substr(blank + 1);
  while (pos < text.size()) {
    const std::string q = line();
    if (q.empty()) break;
    const size_t eq = q.find('=');
    r.query[q.substr(0, eq)] = eq == std::string::npos ? "" : q.substr(eq + 1);
  }
  r.body = text.substr(pos);
  // Long polls answer at once: a fuzzer has no time to wait for the next frame.
  if (r.query.count("wait")) r.query["wait"] = "0";
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const talvor::HttpRequest request = Parse(std::string(reinterpret_cast<const char*>(data), size));
  const talvor::HttpResponse response = Previewer().Handle(request);
  if (response.status < 200 || response.status >= 500) Fail("an unexpected status", request, response);
  if (response.content_type == "application/json" && !nlohmann::json::accept(response.body)) {
    Fail("a JSON answer that does not parse", request, response);
  }
  return 0;
}
