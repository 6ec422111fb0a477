// What a build tells its user while it runs: one line on stderr, redrawn in place a few times a
// second when stderr is a terminal (files, MB in, MB out, rate, elapsed), and the closing line.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "PayloadWriter.h"

class ProgressLine {
 public:
  // Draws nothing unless `live`; the caller decides (a terminal, and no --quiet).
  ProgressLine(bool live, std::FILE *terminal);

  void update(const PackCounters &counters);
  // Wipes the line, so that what follows starts on a clean one.
  void clear();

  static bool isTerminal(std::FILE *stream);
  // "OUT: 12 entries, 3.4 MB in, 1.2 MB payload (35.3%)".
  static std::string closingLine(const std::string &output, const PackCounters &counters);

 private:
  using Clock = std::chrono::steady_clock;
  bool m_live;
  std::FILE *m_terminal;
  Clock::time_point m_start;
  Clock::time_point m_lastDrawn;
  bool m_drawn = false;
};
