// window_stall: how late the window's event loop runs while a big collection
// fills it. Opens the real MainWindow on Qt's offscreen platform against the
// demo site served in this process, presses Match, then Collect, waits for
// the end, ticks every row, presses Export and closes its report. A 10 ms timer measures
// its own lateness throughout; per phase (Match rows filling, Collect rows
// filling, Export) it prints the longest stall, the 99th percentile and the
// count of stalls over 100 ms. Beside each, as the reference, the same timer
// over a fresh idle window for as long as the phase took.
//   window_stall [--chapters N] [--latency MS] [--threads N]
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/main_window.h"
#include "app/program.h"
#include "demo_site/demo_site.h"
#include "demo_site/http_server.h"
#include "platform/curl_transfer.h"

namespace {

constexpr int kProbeIntervalMs = 10;
constexpr double kStallMs = 100;

struct Options {
  int chapters = 10000;
  int latency_ms = 100;
  int threads = 500;
};

bool parse_options(int argc, char** argv, Options* options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const int value = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--chapters") == 0 && value > 0) {
      options->chapters = value;
    } else if (std::strcmp(argv[i], "--latency") == 0 && value >= 0) {
      options->latency_ms = value;
    } else if (std::strcmp(argv[i], "--threads") == 0 && value > 0) {
      options->threads = value;
    } else {
      return false;
    }
  }
  return argc % 2 == 1;
}

// Lateness of each tick of a 10 ms timer, in ms, filed under the current phase.
class LatenessProbe {
 public:
  LatenessProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
      if (!phases_.empty()) phases_.back().push_back(std::max(0.0, now - last_ - kProbeIntervalMs));
      last_ = now;
    });
  }
  void begin_phase() {
    phases_.emplace_back();
    if (!timer_.isActive()) {
      clock_.start();
      last_ = 0;
      timer_.start(kProbeIntervalMs);
    }
  }
  void stop() { timer_.stop(); }
  const std::vector<double>& phase(size_t i) const { return phases_[i]; }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  double last_ = 0;
  std::vector<std::vector<double>> phases_;
};

struct StallFigures {
  double longest = 0;
  double p99 = 0;
  size_t over_limit = 0;
};

StallFigures figures_of(std::vector<double> lateness) {
  StallFigures figures;
  if (lateness.empty()) return figures;
  std::sort(lateness.begin(), lateness.end());
  figures.longest = lateness.back();
  figures.p99 = lateness[(lateness.size() - 1) * 99 / 100];
  figures.over_limit = static_cast<size_t>(
      lateness.end() - std::upper_bound(lateness.begin(), lateness.end(), kStallMs));
  return figures;
}

// One step of the run: `start` once, then `done` polled until it answers true.
struct Step {
  const char* name;
  std::function<void()> start;
  std::function<bool()> done;
};

// Runs `steps` in order on the event loop, each its own probe phase; returns
// each step's duration in ms once the last is done.
std::vector<qint64> run_steps(std::vector<Step>& steps, LatenessProbe& probe) {
  std::vector<qint64> durations;
  QElapsedTimer clock;
  size_t current = 0;
  QTimer poll;
  auto begin = [&] {
    probe.begin_phase();
    clock.start();
    steps[current].start();
  };
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!steps[current].done()) return;
    durations.push_back(clock.elapsed());
    if (++current == steps.size()) {
      QCoreApplication::quit();
      return;
    }
    begin();
  });
  QTimer::singleShot(0, [&] {
    begin();
    poll.start(20);
  });
  QApplication::exec();
  probe.stop();
  return durations;
}

std::string button_states(MainWindow& window) {
  std::string states;
  for (const char* name : {"匹配按钮", "采集按钮", "输出TXT按钮"}) {
    states += window.findChild<QPushButton*>(QString::fromUtf8(name))->isEnabled() ? 't' : 'f';
  }
  return states;
}

int shown_rows(MainWindow& window, const char* list) {
  return window.findChild<QTableView*>(QString::fromUtf8(list))->model()->rowCount();
}

QMessageBox* visible_message_box(MainWindow& window) {
  for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
    if (box->isVisible()) return box;
  }
  return nullptr;
}

double load_average() {
  double load[1] = {0};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse_options(argc, argv, &options)) {
    std::fprintf(stderr, "usage: window_stall [--chapters N] [--latency MS] [--threads N]\n");
    return 2;
  }
  init_network();
  raise_open_file_limit();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);

  SiteOptions site_options;
  site_options.chapter_count = options.chapters;
  DemoSite site(site_options);
  ServerOptions server_options;
  server_options.latency_ms = options.latency_ms;
  HttpServer server(server_options, site.handler());
  std::string error;
  if (!server.start(&error)) {
    std::fprintf(stderr, "demo site: %s\n", error.c_str());
    return 1;
  }
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("window-stall-" + std::to_string(getpid()));
  std::filesystem::create_directories(directory);
  const double load_before = load_average();

  std::vector<const char*> names;
  std::vector<qint64> durations;
  LatenessProbe busy;
  {
    Program program(directory.string());
    MainWindow window(program.controls(), program.state().EmptyChapterIndexes,
                      program.window_actions());
    window.show();
    auto type = [&](const char* edit, const std::string& text) {
      window.findChild<QLineEdit*>(QString::fromUtf8(edit))->setText(QString::fromStdString(text));
    };
    type("目录地址", catalogue_address(server.port()));
    type("正则表达式匹配章节", "<a href=\"//" + host + "/chapter/(.*?)//");
    type("过滤章节表达式", host + "/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+");
    auto* thread_count = window.findChild<QComboBox*>(QStringLiteral("线程数组合框"));
    const int choice = thread_count->findText(QString::number(options.threads));
    if (choice < 0) {
      std::fprintf(stderr, "threads: one of 100, 200, ..., 1000\n");
      return 2;
    }
    thread_count->setCurrentIndex(choice);
    auto press = [&](const char* name) {
      return [&window, name] { window.findChild<QPushButton*>(QString::fromUtf8(name))->click(); };
    };
    std::vector<Step> steps = {
        {"Match rows filling", press("匹配按钮"),
         [&] {
           return button_states(window) == "ttf" &&
                  shown_rows(window, "匹配列表框") == options.chapters;
         }},
        {"Collect rows filling", press("采集按钮"),
         [&] {
           return button_states(window) == "ttt" &&
                  program.controls().progress().finished == options.chapters;
         }},
        {"Export",
         [&] {
           // Every chapter ticked, as a reader keeping the whole book would.
           window.findChild<QAction*>(QStringLiteral("全选"))->trigger();
           press("输出TXT按钮")();
         },
         [&] {
           QMessageBox* box = visible_message_box(window);
           if (box != nullptr) box->button(QMessageBox::Ok)->click();
           return box != nullptr;
         }},
    };
    for (const Step& step : steps) names.push_back(step.name);
    durations = run_steps(steps, busy);
    program.shut_down();
  }
  const double load_after = load_average();

  // The reference: the same probe over a fresh window nobody works in.
  LatenessProbe idle;
  {
    Program program(directory.string());
    MainWindow window(program.controls(), program.state().EmptyChapterIndexes,
                      program.window_actions());
    window.show();
    std::vector<Step> waits;
    for (qint64 duration : durations) {
      auto clock = std::make_shared<QElapsedTimer>();
      waits.push_back(Step{"idle", [clock] { clock->start(); },
                           [clock, duration] { return clock->elapsed() >= duration; }});
    }
    run_steps(waits, idle);
    program.shut_down();
  }
  server.stop();
  std::filesystem::remove_all(directory);

  std::printf(
      "window_stall: %d chapters, latency %d ms, %d threads; load average %.2f before, "
      "%.2f after the busy run\n",
      options.chapters, options.latency_ms, options.threads, load_before, load_after);
  std::printf("%-22s %8s | %25s | %25s\n", "", "", "busy window", "idle window (reference)");
  std::printf("%-22s %8s | %8s %8s %7s | %8s %8s %7s\n", "phase", "time s", "max ms", "p99 ms",
              ">100ms", "max ms", "p99 ms", ">100ms");
  for (size_t i = 0; i < durations.size(); ++i) {
    StallFigures b = figures_of(busy.phase(i));
    StallFigures r = figures_of(idle.phase(i));
    std::printf("%-22s %8.2f | %8.1f %8.1f %7zu | %8.1f %8.1f %7zu\n", names[i],
                static_cast<double>(durations[i]) / 1000.0, b.longest, b.p99, b.over_limit,
                r.longest, r.p99, r.over_limit);
  }
  return 0;
}
