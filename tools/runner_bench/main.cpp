// runner-bench: how fast the three ways run the default image, and how many generated images
// a second go through the i686 exe. For scripts/bench; prints one line a figure.
//
//   runner-bench SOURCE_DIR [RUNS]
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/startup.h"
#include "exe_run.h"
#include "machine_image.h"
#include "safety/machine_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The best of `runs` timings: the figure the machine can reach, not its noise.
double BestMilliseconds(int runs, const std::function<void()>& run) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    run();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: runner-bench SOURCE_DIR [RUNS]\n");
    return 2;
  }
  const std::string source = argv[1];
  const int runs = argc > 2 ? std::stoi(argv[2]) : 50;
  try {
    const auto image = machine_image::ReadImageFolder(source + "/examples/machines/installed");
    auto fresh = [&] {
      emu::Session session;
      std::vector<std::string> warnings;
      machine_image::LoadMachine(image, session, warnings);
      return session;
    };
    std::printf("default image, whole run (best of %d):\n", runs);
    std::printf("  host build         %7.2f ms\n", BestMilliseconds(runs, [&] {
                  emu::Session session = fresh();
                  emu::Run(session, &UninstallerStartup);
                }));
    for (const char* preset : {"win32", "win64"}) {
      const auto path = source + "/build/" + preset + "/Uninstall.exe";
      const auto exe = ReadFile(path);
      std::vector<std::string> faults;
      double ms = BestMilliseconds(runs, [&] {
        emu::Session session = fresh();
        faults = runner::RunExe(session, exe).faults;
      });
      const bool shipped = preset[3] == '3';
      std::printf(
          "  %s exe (%s) %7.2f ms%s%s\n", preset, shipped ? "i686  " : "x86_64", ms,
          shipped ? (ms <= 20.0 ? "  (target 20 ms: met)" : "  (target 20 ms: missed)") : "",
          faults.empty() ? "" : "  (it faulted: the figure is of a broken run)");
    }

    const auto exe = ReadFile(source + "/build/win32/Uninstall.exe");
    runner::ExeRunOptions options;
    options.standInFiles = true;
    const int images = 300;
    auto start = Clock::now();
    for (int seed = 1; seed <= images; ++seed) {
      emu::Session session = safety::GenerateMachine(1'000'000 + static_cast<std::uint64_t>(seed));
      runner::RunExe(session, exe, options);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf(
        "property test's generated images through the i686 exe: %.0f a second (%d in %.2f s)\n",
        images / seconds, images, seconds);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "runner-bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
