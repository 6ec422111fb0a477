#include "ProgressLine.h"

#ifdef _WIN32
#include <io.h>
#define sfx_isatty _isatty
#define sfx_fileno _fileno
#else
#include <unistd.h>
#define sfx_isatty isatty
#define sfx_fileno fileno
#endif

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

double megabytes(uint64_t bytes) { return double(bytes) / 1e6; }
}  // namespace

ProgressLine::ProgressLine(bool live, std::FILE *terminal)
    : m_live(live), m_terminal(terminal), m_start(Clock::now()), m_lastDrawn(m_start) {}

bool ProgressLine::isTerminal(std::FILE *stream) { return sfx_isatty(sfx_fileno(stream)) != 0; }

void ProgressLine::update(const PackCounters &c) {
  if (!m_live) return;
  Clock::time_point now = Clock::now();
  // The first news shows at once; after it, a few redraws a second are enough to read.
  if (m_drawn && now - m_lastDrawn < kRedrawInterval) return;
  m_lastDrawn = now;
  double seconds = std::chrono::duration<double>(now - m_start).count();
  // Carriage return and erase-to-end: the line is redrawn where it stands.
  std::fprintf(m_terminal, "\r\033[K%llu files, %.1f MB in, %.1f MB out, %.1f MB/s, %.0f s",
               (unsigned long long)c.files, megabytes(c.inputBytes), megabytes(c.payloadBytes),
               seconds > 0 ? megabytes(c.inputBytes) / seconds : 0.0, seconds);
  std::fflush(m_terminal);
  m_drawn = true;
}

void ProgressLine::clear() {
  if (!m_drawn) return;
  std::fputs("\r\033[K", m_terminal);
  std::fflush(m_terminal);
  m_drawn = false;
}

std::string ProgressLine::closingLine(const std::string &output, const PackCounters &c) {
  char text[160];
  double ratio = c.inputBytes ? 100.0 * double(c.payloadBytes) / double(c.inputBytes) : 0.0;
  std::snprintf(text, sizeof text, ": %llu entries, %.1f MB in, %.1f MB payload (%.1f%%)",
                (unsigned long long)c.entries, megabytes(c.inputBytes), megabytes(c.payloadBytes), ratio);
  return output + text;
}
