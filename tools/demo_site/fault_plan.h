// Which chapters of the demo site fail, and how.
//
// A seeded rule picks exactly round(fraction x chapters) chapters and gives
// each one of the allowed fault modes; the same seed always picks the same
// chapters, and a faulty chapter fails on every request, so a test knows in
// advance which rows must come back empty. New fault modes are added to
// ChapterFault and delivered by the site (demo_site.cc). Immutable after
// construction; safe from any thread.
#ifndef NOVEL_DEMO_SITE_FAULT_PLAN_H_
#define NOVEL_DEMO_SITE_FAULT_PLAN_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

enum class ChapterFault {
  kNone,
  kServerError,      // HTTP 500 with a short error page
  kConnectionReset,  // the connection is reset before any answer
};

// "500" or "reset"; empty for any other name.
std::optional<ChapterFault> fault_from_name(std::string_view name);

class FaultPlan {
 public:
  FaultPlan() = default;
  // `fraction` is clamped to [0, 1]; `modes` empty means kServerError.
  FaultPlan(int chapter_count, double fraction, uint64_t seed, std::vector<ChapterFault> modes);

  ChapterFault fault_for(int chapter) const;
  // The faulty chapters in ascending order.
  std::vector<int> faulty_chapters() const;

 private:
  std::vector<ChapterFault> faults_;  // index = chapter number; [0] unused
};

#endif  // NOVEL_DEMO_SITE_FAULT_PLAN_H_
