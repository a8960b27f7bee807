// How much resident memory a piece of code takes at its peak, for tests that a file claiming a
// huge picture over a few bytes costs next to nothing.
#pragma once

#include <cstddef>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

// One line of /proc/self/status ("VmRSS:", "VmHWM:") in bytes.
inline std::size_t StatusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) != 0) continue;
    std::istringstream value(line.substr(field.size()));
    std::size_t kib = 0;
    value >> kib;
    return kib * 1024;
  }
  return 0;
}

// How far resident memory rose above its level before `load`; nullopt where the high-water
// mark cannot be reset.
template <typename Load>
inline std::optional<std::size_t> PeakGrowth(Load load) {
  std::ofstream reset("/proc/self/clear_refs");
  reset << "5";
  reset.close();
  if (!reset) return std::nullopt;
  const std::size_t before = StatusBytes("VmRSS:");
  load();
  const std::size_t peak = StatusBytes("VmHWM:");
  return peak > before ? peak - before : 0;
}
