// Helpers the app tests share for waiting on the Qt event loop without
// assuming how fast a shared machine is.
#ifndef NOVEL_TESTS_APP_QT_WAIT_H_
#define NOVEL_TESTS_APP_QT_WAIT_H_

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

// Runs the event loop until `done()` answers true; false after `timeout_ms`.
template <typename Predicate>
bool wait_until(Predicate done, int timeout_ms = 30000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

#endif  // NOVEL_TESTS_APP_QT_WAIT_H_
