// HashTable and ByteBuffer beside the standard containers nearest to them,
// measured in the same run: each Novel* benchmark is followed by its Std*
// reference doing the same work, and the ratios are printed at the end.
//
// On a shared machine run
//   containers_bench --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true
//                    --benchmark_report_aggregates_only=true
// so that the pairs share the disturbances and the ratios use the fastest runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "containers/byte_buffer.h"
#include "containers/hash_table.h"

namespace {

constexpr int32_t kIntegerKeys = 1 << 20;
constexpr int32_t kTextKeys = 1 << 17;

std::vector<int32_t> shuffled(uint32_t seed) {
  std::vector<int32_t> keys(kIntegerKeys);
  std::iota(keys.begin(), keys.end(), 0);
  std::shuffle(keys.begin(), keys.end(), std::mt19937(seed));
  return keys;
}

// The keys in the order they are set.
const std::vector<int32_t>& shuffled_keys() {
  static const std::vector<int32_t> keys = shuffled(1);
  return keys;
}

// The same keys in another order for lookups and removals, so that no run
// walks the nodes in the order they were allocated.
const std::vector<int32_t>& lookup_keys() {
  static const std::vector<int32_t> keys = shuffled(2);
  return keys;
}

const std::vector<std::string>& text_keys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k;
    for (int32_t i = 0; i < kTextKeys; ++i) k.push_back("cookie_name_" + std::to_string(i));
    return k;
  }();
  return keys;
}

HashTable novel_integers() {
  HashTable table;
  table.create(kHashInteger, kHashInteger);
  for (int32_t key : shuffled_keys()) table.set(key, key);
  return table;
}

std::unordered_map<int32_t, int32_t> std_integers() {
  std::unordered_map<int32_t, int32_t> map;
  for (int32_t key : shuffled_keys()) map[key] = key;
  return map;
}

void NovelIntegerSet(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(novel_integers());
  state.SetItemsProcessed(state.iterations() * kIntegerKeys);
}

void StdIntegerSet(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(std_integers());
  state.SetItemsProcessed(state.iterations() * kIntegerKeys);
}

void NovelIntegerGet(benchmark::State& state) {
  const HashTable table = novel_integers();
  for (auto _ : state) {
    int64_t sum = 0;
    for (int32_t key : lookup_keys()) sum += table.get(key).integer();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kIntegerKeys);
}

void StdIntegerGet(benchmark::State& state) {
  const auto map = std_integers();
  for (auto _ : state) {
    int64_t sum = 0;
    for (int32_t key : lookup_keys()) {
      const auto found = map.find(key);
      sum += found == map.end() ? 0 : found->second;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kIntegerKeys);
}

void NovelIntegerRemove(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    HashTable table = novel_integers();
    state.ResumeTiming();
    for (int32_t key : lookup_keys()) table.remove(key);
  }
  state.SetItemsProcessed(state.iterations() * kIntegerKeys);
}

void StdIntegerRemove(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto map = std_integers();
    state.ResumeTiming();
    for (int32_t key : lookup_keys()) map.erase(key);
  }
  state.SetItemsProcessed(state.iterations() * kIntegerKeys);
}

void NovelTextSetGet(benchmark::State& state) {
  for (auto _ : state) {
    HashTable table;
    table.create(kHashText, kHashText);
    for (const std::string& key : text_keys()) table.set(key, key);
    size_t total = 0;
    for (const std::string& key : text_keys()) total += table.get(key).text().size();
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kTextKeys);
}

void StdTextSetGet(benchmark::State& state) {
  for (auto _ : state) {
    std::unordered_map<std::string, std::string> map;
    for (const std::string& key : text_keys()) map[key] = key;
    size_t total = 0;
    for (const std::string& key : text_keys()) {
      const auto found = map.find(key);
      total += (found == map.end() ? std::string() : found->second).size();
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kTextKeys);
}

// Pieces of 1 to 64 bytes, as argument packs append lengths and arguments.
template <typename Append>
void append_pieces(Append&& append) {
  static const std::string piece(64, 'p');
  for (int32_t i = 0; i < kIntegerKeys; ++i) append(std::string_view(piece).substr(0, 1 + i % 64));
}

void NovelBufferAppend(benchmark::State& state) {
  for (auto _ : state) {
    ByteBuffer buffer;
    append_pieces([&](std::string_view bytes) { buffer.append(bytes); });
    benchmark::DoNotOptimize(buffer.size());
  }
  state.SetItemsProcessed(state.iterations() * kIntegerKeys);
}

void StdStringAppend(benchmark::State& state) {
  for (auto _ : state) {
    std::string buffer;
    append_pieces([&](std::string_view bytes) { buffer.append(bytes); });
    benchmark::DoNotOptimize(buffer.size());
  }
  state.SetItemsProcessed(state.iterations() * kIntegerKeys);
}

void StdVectorAppend(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<char> buffer;
    append_pieces(
        [&](std::string_view bytes) { buffer.insert(buffer.end(), bytes.begin(), bytes.end()); });
    benchmark::DoNotOptimize(buffer.size());
  }
  state.SetItemsProcessed(state.iterations() * kIntegerKeys);
}

// The comparisons printed after the runs: our figure over the reference's.
struct Pair {
  const char* ours;
  const char* reference;
};
constexpr Pair kPairs[] = {
    {"NovelIntegerSet", "StdIntegerSet"},       {"NovelIntegerGet", "StdIntegerGet"},
    {"NovelIntegerRemove", "StdIntegerRemove"}, {"NovelTextSetGet", "StdTextSetGet"},
    {"NovelBufferAppend", "StdStringAppend"},   {"NovelBufferAppend", "StdVectorAppend"},
};

// Prints the usual table, then each pair's ratio of CPU times. On a shared
// machine the fastest repetition is the figure least disturbed by others, so
// with --benchmark_repetitions the ratio uses the "min" aggregate.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const bool plain = run.run_type == Run::RT_Iteration;
      if (!plain && run.aggregate_name != "min") continue;
      std::string name = run.run_name.function_name;
      double& best = cpu_[name];
      const double time = run.GetAdjustedCPUTime();
      best = best == 0 ? time : std::min(best, time);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nCPU time ratio (ours / reference, lower is better):\n");
    for (const Pair& pair : kPairs) {
      const auto ours = cpu_.find(pair.ours);
      const auto reference = cpu_.find(pair.reference);
      if (ours == cpu_.end() || reference == cpu_.end()) continue;
      std::printf("  %-20s / %-20s %.2f\n", pair.ours, pair.reference,
                  ours->second / reference->second);
    }
  }

 private:
  std::map<std::string, double> cpu_;
};

double fastest(const std::vector<double>& times) {
  return *std::min_element(times.begin(), times.end());
}

}  // namespace

#define CONTAINERS_BENCHMARK(name) \
  BENCHMARK(name)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest)

CONTAINERS_BENCHMARK(NovelIntegerSet);
CONTAINERS_BENCHMARK(StdIntegerSet);
CONTAINERS_BENCHMARK(NovelIntegerGet);
CONTAINERS_BENCHMARK(StdIntegerGet);
CONTAINERS_BENCHMARK(NovelIntegerRemove);
CONTAINERS_BENCHMARK(StdIntegerRemove);
CONTAINERS_BENCHMARK(NovelTextSetGet);
CONTAINERS_BENCHMARK(StdTextSetGet);
CONTAINERS_BENCHMARK(NovelBufferAppend);
CONTAINERS_BENCHMARK(StdStringAppend);
CONTAINERS_BENCHMARK(StdVectorAppend);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
