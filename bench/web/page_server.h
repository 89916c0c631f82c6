// A page server for the fetch benchmark: answers every GET on a kept-alive
// connection with the same page after a fixed delay, over plain HTTP or TLS.
// One thread per connection, so that hundreds of delayed requests are served
// at once; meant to run in a child process of its own, whose CPU time then
// stays out of the client's figures.
#ifndef NOVEL_BENCH_WEB_PAGE_SERVER_H_
#define NOVEL_BENCH_WEB_PAGE_SERVER_H_

#include <string>

struct PageServerPorts {
  int http = 0;
  int https = 0;
};

// Forks a child that serves `page` after `delay_ms` on two listeners on
// 127.0.0.1 (TLS with the given certificate and key on the second) and
// returns their ports and the child's process id; end it with kill().
PageServerPorts start_page_server(const std::string& page, int delay_ms,
                                  const std::string& certificate, const std::string& key,
                                  int* child);

#endif  // NOVEL_BENCH_WEB_PAGE_SERVER_H_
