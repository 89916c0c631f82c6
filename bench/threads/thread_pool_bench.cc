// Figures for ThreadPool beside a plain std::thread + std::condition_variable
// pool run in the same program: jobs per second through submit for empty
// jobs, the time from submit to the job starting on an idle pool, the CPU
// that 1000 idle workers use, and how long stopping idle workers takes (a
// reset against stopping and joining the plain pool).
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "threads/thread_pool.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double process_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The reference: a fixed set of threads taking (routine, id) pairs from one
// queue under one mutex.
class PlainPool {
 public:
  explicit PlainPool(int threads) {
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
  }
  ~PlainPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    ready_.notify_all();
    for (auto& worker : workers_) worker.join();
  }
  void submit(Routine routine, intptr_t id) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      jobs_.push_back({routine, id});
    }
    ready_.notify_one();
  }

 private:
  struct Job {
    Routine routine;
    intptr_t id;
  };
  void work() {
    while (true) {
      Job job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        job = jobs_.front();
        jobs_.pop_front();
      }
      job.routine(job.id);
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

std::atomic<int> jobs_done{0};
std::atomic<int64_t> started_at_ns{0};

int32_t empty_job(intptr_t) {
  jobs_done.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

int32_t stamp_job(intptr_t) {
  started_at_ns = Clock::now().time_since_epoch().count();
  jobs_done++;
  return 0;
}

void wait_for_jobs(int count) {
  while (jobs_done.load() < count) std::this_thread::sleep_for(std::chrono::microseconds(200));
}

// Submits `jobs` empty jobs; prints submit-only and end-to-end rates.
template <class Submit>
void report_throughput(const char* name, int jobs, Submit submit) {
  jobs_done = 0;
  const auto start = Clock::now();
  for (int i = 1; i <= jobs; ++i) submit(i);
  const double submitted = seconds_since(start);
  wait_for_jobs(jobs);
  const double finished = seconds_since(start);
  std::printf("  %-12s submit %9.0f jobs/s   submit-to-all-done %9.0f jobs/s\n", name,
              jobs / submitted, jobs / finished);
}

// Submits one job at a time to an idle pool; prints the median and the 99th
// percentile of the time until it starts.
template <class Submit>
void report_latency(const char* name, int samples, Submit submit) {
  std::vector<double> micros;
  for (int i = 1; i <= samples; ++i) {
    jobs_done = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto submitted = Clock::now();
    submit(i);
    wait_for_jobs(1);
    const auto started = Clock::time_point(Clock::duration(started_at_ns.load()));
    micros.push_back(std::chrono::duration<double, std::micro>(started - submitted).count());
  }
  std::sort(micros.begin(), micros.end());
  std::printf("  %-12s median %8.1f us   p99 %8.1f us\n", name, micros[micros.size() / 2],
              micros[micros.size() * 99 / 100]);
}

void report_idle_cpu(const char* name, double seconds) {
  const double cpu_before = process_cpu_seconds();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double share = (process_cpu_seconds() - cpu_before) / seconds_since(start);
  std::printf("  %-12s %6.2f %% of one core\n", name, share * 100);
}

// Starts `workers` idle workers, then prints how long a reset takes to see
// them all gone (median of `rounds`), beside stopping and joining a plain pool.
void report_reset(int workers, int rounds) {
  std::vector<double> pool_ms;
  std::vector<double> plain_ms;
  ThreadPool pool;
  pool.start(workers, workers);
  for (int round = 0; round < rounds; ++round) {
    while (pool.thread_count() < workers)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    auto start = Clock::now();
    pool.reset();
    pool_ms.push_back(seconds_since(start) * 1000);
    std::optional<PlainPool> plain(std::in_place, workers);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    start = Clock::now();
    plain.reset();
    plain_ms.push_back(seconds_since(start) * 1000);
  }
  std::sort(pool_ms.begin(), pool_ms.end());
  std::sort(plain_ms.begin(), plain_ms.end());
  std::printf("  %4d workers: ThreadPool reset median %7.1f ms   plain pool stop+join %7.1f ms\n",
              workers, pool_ms[pool_ms.size() / 2], plain_ms[plain_ms.size() / 2]);
}

}  // namespace

int main() {
  constexpr int kWorkers = 4;
  constexpr int kJobs = 200000;
  constexpr int kLatencySamples = 300;
  constexpr int kIdleWorkers = 1000;

  std::printf("Empty jobs through submit (%d workers, %d jobs)\n", kWorkers, kJobs);
  {
    ThreadPool pool;
    pool.start(kWorkers, kWorkers);
    while (pool.thread_count() < kWorkers)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    report_throughput("ThreadPool", kJobs, [&](int) { pool.submit(empty_job); });
    report_latency("ThreadPool", kLatencySamples, [&](int) { pool.submit(stamp_job); });
  }
  {
    PlainPool plain(kWorkers);
    report_throughput("plain pool", kJobs, [&](int id) { plain.submit(empty_job, id); });
    report_latency("plain pool", kLatencySamples, [&](int id) { plain.submit(stamp_job, id); });
  }

  std::printf("Stopping idle workers\n");
  report_reset(8, 9);
  report_reset(200, 5);

  std::printf("CPU used by %d idle workers\n", kIdleWorkers);
  {
    ThreadPool pool;
    pool.start(kIdleWorkers, kIdleWorkers);
    while (pool.thread_count() < kIdleWorkers) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    report_idle_cpu("ThreadPool", 5);
  }
  {
    PlainPool plain(kIdleWorkers);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    report_idle_cpu("plain pool", 5);
  }
  return 0;
}
