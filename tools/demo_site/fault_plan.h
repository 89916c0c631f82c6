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
  kNotFound,         // HTTP 404
  kTooManyRequests,  // HTTP 429 with Retry-After: 1
  kResetMidBody,     // the head and half the page, then a reset
  kShortBody,        // half the page under the whole page's Content-Length, then close
  kStall,            // no answer at all until the client gives up
  kRedirectLoop,     // a 302 back to the same address, every time
  kInvalidUtf8,      // the page with malformed UTF-8 bytes in a comment; it still arrives
  kHugePage,         // the page padded to 20 MB
  kOverBodyCap,      // a 65 MiB page, streamed (over a client's 64 MiB cap)
  kEmptyBody,        // HTTP 200 with an empty body
};

// The command-line name of each mode: "500", "reset", "404", "429",
// "reset-mid", "short", "stall", "redirect-loop", "bad-utf8", "huge",
// "over-cap", "empty"; empty for any other name.
std::optional<ChapterFault> fault_from_name(std::string_view name);
// Every fault mode but kNone, in the order above.
std::vector<ChapterFault> all_faults();
// True when a client that copes with the fault still gets the chapter's text.
bool chapter_survives(ChapterFault fault);

class FaultPlan {
 public:
  FaultPlan() = default;
  // `fraction` is clamped to [0, 1]; `modes` empty means kServerError.
  FaultPlan(int chapter_count, double fraction, uint64_t seed, std::vector<ChapterFault> modes);

  ChapterFault fault_for(int chapter) const;
  // The faulty chapters in ascending order.
  std::vector<int> faulty_chapters() const;
  // The faulty chapters whose text cannot arrive (see chapter_survives), ascending.
  std::vector<int> lost_chapters() const;

 private:
  std::vector<ChapterFault> faults_;  // index = chapter number; [0] unused
};

#endif  // NOVEL_DEMO_SITE_FAULT_PLAN_H_
