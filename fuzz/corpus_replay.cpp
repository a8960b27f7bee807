// Runs a fuzz target's entry point once over every file of the folders named on the command
// line, so that the corpus and every crash reproducer are checked by ordinary tests under the
// sanitizers of whatever build compiles it.
//   <target> [--shard=I/N] FOLDER|FILE...
// With a shard, only every N-th file (from the I-th, counting from 0) is run. A failing input
// is named on the standard error before the process dies.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Present when a sanitizer runtime is linked in.
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

namespace fs = std::filesystem;

char g_current[4096] = "";

void NameCurrentInput() {
  if (g_current[0] == '\0') return;
  const char prefix[] = "\n*** while replaying ";
  [[maybe_unused]] ssize_t n = write(STDERR_FILENO, prefix, sizeof prefix - 1);
  n = write(STDERR_FILENO, g_current, std::strlen(g_current));
  n = write(STDERR_FILENO, "\n", 1);
}

void OnFatalSignal(int signal) {
  NameCurrentInput();
  ::signal(signal, SIG_DFL);
  raise(signal);
}

struct Shard {
  std::size_t index = 0;
  std::size_t count = 1;
};

bool ParseShard(const std::string& arg, Shard& shard) {
  unsigned long index = 0, count = 0;
  char end = 0;
  if (std::sscanf(arg.c_str(), "--shard=%lu/%lu%c", &index, &count, &end) != 2 || count == 0 ||
      index >= count)
    return false;
  shard = {index, count};
  return true;
}

std::vector<fs::path> Inputs(const std::vector<std::string>& names) {
  std::vector<fs::path> files;
  for (const std::string& name : names) {
    if (!fs::is_directory(name)) {
      files.emplace_back(name);
      continue;
    }
    std::vector<fs::path> folder;
    for (const fs::directory_entry& entry : fs::directory_iterator(name))
      if (entry.is_regular_file()) folder.push_back(entry.path());
    std::sort(folder.begin(), folder.end());
    files.insert(files.end(), folder.begin(), folder.end());
  }
  return files;
}

// The file's bytes in a block of exactly their size, so that a read past the end is caught.
std::pair<std::unique_ptr<std::uint8_t[]>, std::size_t> ReadFile(const fs::path& path) {
  std::error_code error;
  const std::size_t size = fs::file_size(path, error);
  std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[error ? 0 : size]);
  std::ifstream in(path, std::ios::binary);
  if (error || !in.read(reinterpret_cast<char*>(block.get()), std::streamsize(size))) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    std::exit(2);
  }
  return {std::move(block), size};
}

}  // namespace

int main(int argc, char** argv) {
  Shard shard;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--shard=", 0) == 0) {
      if (!ParseShard(arg, shard)) {
        std::fprintf(stderr, "%s: bad shard '%s' (expected --shard=I/N, I < N)\n", argv[0],
                     argv[i]);
        return 2;
      }
    } else {
      names.push_back(arg);
    }
  }
  const std::vector<fs::path> files = Inputs(names);
  if (files.empty()) {
    std::fprintf(stderr, "%s: no inputs to replay\n", argv[0]);
    return 2;
  }
  // A sanitizer reports faults itself and then calls back; aborts and traps are left to us.
  for (int s : {SIGABRT, SIGILL}) signal(s, OnFatalSignal);
  if (__sanitizer_set_death_callback)
    __sanitizer_set_death_callback(NameCurrentInput);
  else
    for (int s : {SIGSEGV, SIGBUS, SIGFPE}) signal(s, OnFatalSignal);

  const auto start = std::chrono::steady_clock::now();
  std::size_t replayed = 0;
  for (std::size_t i = shard.index; i < files.size(); i += shard.count) {
    const auto [data, size] = ReadFile(files[i]);
    std::snprintf(g_current, sizeof g_current, "%s", files[i].c_str());
    LLVMFuzzerTestOneInput(data.get(), size);
    ++replayed;
  }
  g_current[0] = '\0';
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  std::printf("replayed %zu inputs in %lld ms\n", replayed, static_cast<long long>(ms));
  return 0;
}
