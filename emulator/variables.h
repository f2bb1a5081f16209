// Names of the host's tokens and events, as panel designers write them in
// scenarios: catalogue names (VarAvionicsMaster, EvtApHeadingHold), the
// emulator's own variables (elevator-trim, ...) and plain numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvor {

// A token by catalogue name, emulator name or decimal number.
std::optional<uint32_t> TokenByName(std::string_view name);
// "VarAvionicsMaster", "elevator-trim", or the number for a token without a name.
std::string TokenName(uint32_t token);

// An event by catalogue name or decimal number.
std::optional<uint32_t> EventByName(std::string_view name);
// "EvtApHeadingHold", or the number for an event without a name.
std::string EventName(uint32_t event);

// Every variable name a scenario may write (catalogue and emulator names).
std::vector<std::string> VariableNames();
std::vector<std::string> EventNames();

// Up to `count` of `candidates` closest to `name` by edit distance (case
// folded), closest first: for "did you mean" messages.
std::vector<std::string> NearestNames(std::string_view name, const std::vector<std::string>& candidates,
                                      size_t count = 3);

}  // namespace talvor
