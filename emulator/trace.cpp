#include "emulator/trace.h"

#include <nlohmann/json.hpp>

#include "emulator/variables.h"

namespace talvor {

void TraceWriter::Events(const std::vector<SentEvent>& events) {
  for (const SentEvent& e : events) {
    nlohmann::ordered_json j = {{"update", e.update}, {"event", e.event}, {"name", EventName(e.event)}, {"value", e.value}};
    out_ << j.dump() << "\n";
  }
}

void TraceWriter::Sounds(const std::vector<PlayedSound>& sounds) {
  for (const PlayedSound& s : sounds) {
    // The resolved path is left out: it differs from machine to machine.
    nlohmann::ordered_json j = {{"update", s.update}, {"sound", s.name}, {"flags", s.flags}, {"found", s.found}};
    out_ << j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  }
}

void TraceWriter::Values(const Session& session) {
  for (int i = 0; i < session.InstanceCount(); ++i) {
    nlohmann::ordered_json values = nlohmann::ordered_json::array();
    nlohmann::ordered_json drawn = nlohmann::ordered_json::array();
    for (int e = 1; e <= session.ElementCount(i); ++e) {
      const ElementState st = session.Element(i, e);
      values.push_back(st.value);  // NaN and infinities appear as null
      drawn.push_back(st.drawn ? 1 : 0);
    }
    nlohmann::ordered_json j = {{"update", session.UpdateCount()},
                        {"instance", i},
                        {"gauge", session.Info(i).gauge},
                        {"values", values},
                        {"drawn", drawn}};
    out_ << j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  }
}

}  // namespace talvor
