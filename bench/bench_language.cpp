// What a language file costs to load: the time, and the memory it takes
// beyond the catalogue, for the shipped file and for files at the size bound
// made of nothing but line ends or of entries past the table's room (goal:
// the memory follows the entries kept, a few hundred KiB at most, whatever
// the file holds). The memory is measured in a child process of its own per
// load: the growth of its peak resident size.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "common/FileSystem.h"
#include "defs/LanguageFile.h"

namespace {

namespace fs = std::filesystem;

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The growth of the peak resident size while `file` in `folder` is loaded,
// in KiB, in a fresh child process.
long LoadGrowthKiB(const fs::path& folder, const std::string& file) {
  int pipe[2];
  if (::pipe(pipe) != 0) {
    return -1;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe[0]);
    const long before = PeakKiB();
    tolvane::CLanguageFile language(folder, nullptr);
    language.Load(file);
    const long growth = PeakKiB() - before;
    const ssize_t written = ::write(pipe[1], &growth, sizeof growth);
    ::_exit(written == sizeof growth ? 0 : 1);
  }
  ::close(pipe[1]);
  long growth = -1;
  if (::read(pipe[0], &growth, sizeof growth) != sizeof growth) {
    growth = -1;
  }
  ::close(pipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return growth;
}

using tolvane::bench::Folder;

void Measure(benchmark::State& state, const fs::path& folder, const std::string& file) {
  for (auto _ : state) {
    tolvane::CLanguageFile language(folder, nullptr);
    benchmark::DoNotOptimize(language.Load(file));
  }
  std::error_code ec;
  state.counters["file_KiB"] = static_cast<double>(fs::file_size(folder / file, ec) / 1024);
  state.counters["memory_KiB"] = static_cast<double>(LoadGrowthKiB(folder, file));
}

void BM_ShippedLanguageFile(benchmark::State& state) {
  Measure(state, fs::path(TOLVANE_SOURCE_DATA) / "Models", "Tolvane_Language.txt");
}
BENCHMARK(BM_ShippedLanguageFile)->Unit(benchmark::kMillisecond);

void BM_LineEndsAtTheSizeBound(benchmark::State& state) {
  Folder folder;
  tolvane::WriteFileReplacing(folder.path() / "lang.txt", std::string(tolvane::CLanguageFile::kMaxFileBytes, '\n'));
  Measure(state, folder.path(), "lang.txt");
}
BENCHMARK(BM_LineEndsAtTheSizeBound)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_EntriesPastTheTableAtTheSizeBound(benchmark::State& state) {
  Folder folder;
  std::string text;
  for (int i = 0; text.size() < tolvane::CLanguageFile::kMaxFileBytes - 100; ++i) {
    text += "ERROR_MESSAGE" + std::to_string(i) + " = Some text of an entry->Ein Text eines Eintrags\n";
  }
  tolvane::WriteFileReplacing(folder.path() / "lang.txt", text);
  Measure(state, folder.path(), "lang.txt");
}
BENCHMARK(BM_EntriesPastTheTableAtTheSizeBound)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
