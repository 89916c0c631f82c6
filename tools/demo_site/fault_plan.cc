#include "demo_site/fault_plan.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

namespace {

struct NamedFault {
  std::string_view name;
  ChapterFault fault;
};

constexpr NamedFault kNamedFaults[] = {
    {"500", ChapterFault::kServerError},
    {"reset", ChapterFault::kConnectionReset},
    {"404", ChapterFault::kNotFound},
    {"429", ChapterFault::kTooManyRequests},
    {"reset-mid", ChapterFault::kResetMidBody},
    {"short", ChapterFault::kShortBody},
    {"stall", ChapterFault::kStall},
    {"redirect-loop", ChapterFault::kRedirectLoop},
    {"bad-utf8", ChapterFault::kInvalidUtf8},
    {"huge", ChapterFault::kHugePage},
    {"over-cap", ChapterFault::kOverBodyCap},
    {"empty", ChapterFault::kEmptyBody},
};

}  // namespace

std::optional<ChapterFault> fault_from_name(std::string_view name) {
  for (const NamedFault& named : kNamedFaults) {
    if (named.name == name) return named.fault;
  }
  return std::nullopt;
}

std::vector<ChapterFault> all_faults() {
  std::vector<ChapterFault> faults;
  for (const NamedFault& named : kNamedFaults) faults.push_back(named.fault);
  return faults;
}

bool chapter_survives(ChapterFault fault) {
  return fault == ChapterFault::kNone || fault == ChapterFault::kInvalidUtf8;
}

FaultPlan::FaultPlan(int chapter_count, double fraction, uint64_t seed,
                     std::vector<ChapterFault> modes) {
  if (chapter_count <= 0) return;
  if (modes.empty()) modes.push_back(ChapterFault::kServerError);
  faults_.assign(static_cast<size_t>(chapter_count) + 1, ChapterFault::kNone);
  const double clamped = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
  const auto faulty = static_cast<size_t>(std::llround(clamped * chapter_count));

  // A seeded shuffle gives exactly `faulty` distinct chapters. mt19937_64's
  // output is fixed by the standard, so the choice is the same everywhere.
  std::vector<int> chapters(static_cast<size_t>(chapter_count));
  std::iota(chapters.begin(), chapters.end(), 1);
  std::mt19937_64 engine(seed);
  for (size_t i = 0; i < faulty; ++i) {
    const size_t j = i + static_cast<size_t>(engine() % (chapters.size() - i));
    std::swap(chapters[i], chapters[j]);
    faults_[static_cast<size_t>(chapters[i])] = modes[engine() % modes.size()];
  }
}

ChapterFault FaultPlan::fault_for(int chapter) const {
  if (chapter < 1 || static_cast<size_t>(chapter) >= faults_.size()) return ChapterFault::kNone;
  return faults_[static_cast<size_t>(chapter)];
}

std::vector<int> FaultPlan::faulty_chapters() const {
  std::vector<int> chapters;
  for (size_t chapter = 1; chapter < faults_.size(); ++chapter) {
    if (faults_[chapter] != ChapterFault::kNone) chapters.push_back(static_cast<int>(chapter));
  }
  return chapters;
}

std::vector<int> FaultPlan::lost_chapters() const {
  std::vector<int> chapters;
  for (size_t chapter = 1; chapter < faults_.size(); ++chapter) {
    if (!chapter_survives(faults_[chapter])) chapters.push_back(static_cast<int>(chapter));
  }
  return chapters;
}
