// FillTime from any lengths, totals, options, seeds and answers.

#include <climits>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_targets.h"
#include "picking/time_fill.h"
#include "tests/support/plain_picking.h"

using namespace tunyra;

namespace fuzz {

namespace {

std::int32_t DrawLength(FuzzInput& in) {
  switch (in.Below(8)) {
    case 0: return 0;
    case 1: return -static_cast<std::int32_t>(in.Below(3600)) - 1;
    case 2: return in.I32();
    case 3: return INT32_MAX - static_cast<std::int32_t>(in.Below(1000));
    case 4: return INT32_MIN + static_cast<std::int32_t>(in.Below(1000));
    default: return static_cast<std::int32_t>(in.Below(900)) + 1;
  }
}

}  // namespace

std::string FillTimeTarget(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const bool allowDuplicates = in.Bool();
  const bool answerOk = in.Bool();
  const std::uint32_t seed = in.U32();
  // Without duplicates the picks are bounded by the candidates, so any total is fair;
  // with them the total stays within what minutes can say, or a 1-second song would
  // legitimately need billions of picks. The
  // dialog's own range ends at 3600 minutes.
  std::int32_t total = (static_cast<std::int32_t>(in.Below(260)) - 20) * 60;
  if (in.Below(64) == 0) total = 3600 * 60;
  if (!allowDuplicates && in.Below(4) == 0) total = in.I32();

  // Texts outlive the candidate list, which points into them; some entries repeat an
  // earlier one, as an item matched by two Or-joined columns does.
  unsigned count = 1 + in.Below(64);
  std::vector<std::string> names(count), titles(count);
  CandidateList candidates;
  std::int64_t sum = 0;
  for (unsigned i = 0; i < count; ++i) {
    names[i] = "f" + std::to_string(i);
    titles[i] = "t" + std::to_string(i);
    if (i > 0 && in.Below(8) == 0) {
      unsigned earlier = in.Below(i);
      candidates.Append(candidates[earlier]);
    } else {
      candidates.Append(names[i].c_str(), titles[i].c_str(), DrawLength(in));
    }
    if (candidates[i].length >= 0) sum += candidates[i].length;
  }
  std::map<const char*, int> standing;  // entries per file name
  for (const Candidate& candidate : candidates) ++standing[candidate.fileName];

  LcgRandomSource random(seed), modelRandom(seed);
  int asked = 0;
  const auto ask = [&] {
    ++asked;
    return answerOk;
  };
  FillResult result =
      FillTime(candidates, {.totalSeconds = total, .allowDuplicates = allowDuplicates, .askShorten = ask}, random);
  const plain::Fill model = plain::FillTime(candidates, total, allowDuplicates, modelRandom, answerOk);
  if (!model.ended) return "the plain model did not end";

  const bool shouldAsk = !allowDuplicates && sum < total;
  if (model.asked != shouldAsk) return "the plain model asks the too-short question wrongly";
  if (asked != (shouldAsk ? 1 : 0)) return "the too-short question was asked " + std::to_string(asked) + " times";
  if (result.cancelled != (shouldAsk && !answerOk)) return "cancelled does not follow the answer";
  const CandidateList& picks = result.picks;
  if (result.cancelled) return picks.empty() ? "" : "a cancelled fill has picks";

  const std::int64_t target = shouldAsk ? sum : total;
  if (result.targetSeconds != target) return "target " + std::to_string(result.targetSeconds) + ", expected " +
                                              std::to_string(target);
  if (model.stop != result.stop)
    return "stopped for reason " + std::to_string(static_cast<int>(result.stop)) + ", expected " +
           std::to_string(static_cast<int>(model.stop));
  if (model.picks.size() != picks.size())
    return std::to_string(picks.size()) + " picks, expected " + std::to_string(model.picks.size());
  for (size_t i = 0; i < picks.size(); ++i)
    if (picks[i].fileName != candidates[model.picks[i]].fileName)
      return "pick " + std::to_string(i) + " differs from the closest fit or the draw";

  std::int64_t picked = 0;
  std::map<const char*, int> times;
  for (size_t i = 0; i < picks.size(); ++i) {
    const Candidate& pick = picks[i];
    auto it = standing.find(pick.fileName);
    if (it == standing.end()) return "pick " + std::to_string(i) + " is no candidate";
    size_t index = 0;
    while (candidates[index].fileName != pick.fileName) ++index;
    if (pick.title != candidates[index].title || pick.length != candidates[index].length)
      return "pick " + std::to_string(i) + " mixes texts or lengths of different candidates";
    if (pick.length < 0) return "a song of unknown length was picked";
    if (!allowDuplicates && ++times[pick.fileName] > it->second)
      return "without duplicates, candidate " + std::string(pick.fileName) + " was picked too often";
    picked += pick.length;
  }
  if (result.remainingSeconds != target - picked) return "the remaining time does not account for the picks";
  if (target <= 0 && !picks.empty()) return "picks although no time was asked for";
  if ((result.stop == FillStop::TimeUsedUp) != (result.remainingSeconds <= 0))
    return "the stop reason does not agree with the remaining time";
  return "";
}

}  // namespace fuzz
