#include "emulator/variables.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "emulator/session.h"
#include "host/catalogue.h"

namespace talvor {

namespace {

struct Named {
  const char* name;
  uint32_t number;
};

#define TALVOR_NAMED(name, number) {#name, number},
constexpr Named kTokens[] = {
    TALVOR_HOST_VARS(TALVOR_NAMED)
    {"elevator-trim", kTokenElevatorTrim},
    {"autopilot-master", kTokenAutopilotMaster},
    {"spoilers-armed", kTokenSpoilersArmed},
};
constexpr Named kEvents[] = {TALVOR_HOST_EVENTS(TALVOR_NAMED)};
#undef TALVOR_NAMED

std::optional<uint32_t> ParseNumber(std::string_view text) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

template <size_t N>
std::optional<uint32_t> Find(const Named (&table)[N], std::string_view name) {
  for (const Named& n : table) {
    if (name == n.name) return n.number;
  }
  return ParseNumber(name);
}

template <size_t N>
std::string NameOf(const Named (&table)[N], uint32_t number) {
  for (const Named& n : table) {
    if (n.number == number) return n.name;
  }
  return std::to_string(number);
}

template <size_t N>
std::vector<std::string> Names(const Named (&table)[N]) {
  std::vector<std::string> out;
  for (const Named& n : table) out.emplace_back(n.name);
  return out;
}

size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::optional<uint32_t> TokenByName(std::string_view name) { return Find(kTokens, name); }
std::string TokenName(uint32_t token) { return NameOf(kTokens, token); }
std::optional<uint32_t> EventByName(std::string_view name) { return Find(kEvents, name); }
std::string EventName(uint32_t event) { return NameOf(kEvents, event); }
std::vector<std::string> VariableNames() { return Names(kTokens); }
std::vector<std::string> EventNames() { return Names(kEvents); }

std::vector<std::string> NearestNames(std::string_view name, const std::vector<std::string>& candidates,
                                      size_t count) {
  std::vector<std::pair<size_t, const std::string*>> scored;
  for (const std::string& c : candidates) scored.emplace_back(EditDistance(name, c), &c);
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (size_t i = 0; i < scored.size() && i < count; ++i) out.push_back(*scored[i].second);
  return out;
}

}  // namespace talvor
