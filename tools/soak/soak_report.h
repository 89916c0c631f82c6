// The table novel-soak prints, one row per collection, and the verdict that
// compares the figures after the last collection of a front end with those
// after its first.
//
// Plain functions over values; safe from any thread.
#ifndef NOVEL_SOAK_SOAK_REPORT_H_
#define NOVEL_SOAK_SOAK_REPORT_H_

#include <cstddef>
#include <cstdio>
#include <string>

#include "soak/process_figures.h"

struct SoakRow {
  std::string front;  // "headless" or "window"
  int run = 0;        // 1-based within its front end
  double seconds = 0;
  ProcessFigures figures;
  size_t lost = 0;
  std::string outcome;  // "same", or what differs from the first collection
};

void print_table_head(FILE* out);
void print_table_row(FILE* out, const SoakRow& row);

// Prints, for each figure, first -> last and the change; true when every
// checked figure of `last` is within `tolerance_percent` of `first`, either way.
bool print_verdict(FILE* out, const std::string& front, const ProcessFigures& first,
                   const ProcessFigures& last, double tolerance_percent);

#endif  // NOVEL_SOAK_SOAK_REPORT_H_
