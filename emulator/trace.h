// Traces of a run: one JSON object per line for every event the module
// sent, every sound it played and, when asked, every element's value after
// each update.
//   {"update":12,"event":65725,"name":"EvtApHeadingHold","value":0}
//   {"update":12,"sound":"Sound\\dingdong.wav","flags":1,"found":false}
//   {"update":12,"instance":0,"gauge":"S_TEC55","values":[0,1,...],"drawn":[1,1,...]}
// "update" is the number of updates completed when it happened (values:
// the update just completed, counting from 1).
#pragma once

#include <ostream>
#include <vector>

#include "emulator/session.h"

namespace talvor {

class TraceWriter {
 public:
  explicit TraceWriter(std::ostream& out) : out_(out) {}
  void Events(const std::vector<SentEvent>& events);
  void Sounds(const std::vector<PlayedSound>& sounds);
  // Every element of every instance, as of the latest update.
  void Values(const Session& session);

 private:
  std::ostream& out_;
};

}  // namespace talvor
