// Frame times of the cloud shader pair against the cheapest frame this design
// can draw, through the application's own camera, scene and buffer swap.
//
// Usage: quorvel_bench [rounds [frames]] [--pair DIR [--pair DIR]] [--quick]
// Each round draws `frames` frames of every case in turn, the order reversed
// every other round, so that load from other processes and the place in a
// round fall on all cases alike. For each case the table gives the wall time
// a frame, the process's CPU time a frame (all its threads: llvmpipe
// rasterises on several), which a busy machine moves far less than the wall
// time, and its page faults a frame. The first DIR holds the pair to measure
// (default: the shipped one), the second a pair B timed at rest beside it; B
// is the same pair again unless given, which makes the run check itself:
// identical programs must come out level. --quick leaves out the larger
// windows.
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "scene.h"
#include "state.h"
#include "textures.h"
#include "window.h"

namespace {

enum Program { kPair, kPairB, kPassThrough, kProgramCount };

struct Surface {
  int width;
  int height;
  GLFWwindow* window;
  glShader* programs[kProgramCount];
};

// What one case's frames of one round cost, `start` seconds into the run.
struct Block {
  double start;
  int frames;
  double wallMs;
  double cpuMs;
  long faults;
};

struct Case {
  const char* name;
  Surface* surface;
  Program program;
  bool dragging;
  std::vector<double> frameMs;
  std::vector<Block> blocks;
};

struct Options {
  int rounds = 12;
  int frames = 8;
  std::vector<std::string> pairDirs;
  bool quick = false;
};

// Within this many seconds of the start, a young process may still be
// setting up its memory; the run tells whether that costs anything.
const double kStartUpSeconds = 10.0;
// Identical programs must time within this share of each other.
const double kSelfCheckTolerance = 0.03;

// A window as the application opens it, at another size, with its own
// context, programs and noise textures.
bool openSurface(Surface* surface, const Options& options) {
  surface->window = createWindow(surface->width, surface->height, "Quorvel bench");
  if (!surface->window) return false;
  glfwMakeContextCurrent(surface->window);
  window = surface->window;
  initGLState();
  initGLExtensions();
  const std::string paths[kProgramCount] = {options.pairDirs[0], options.pairDirs.back(), QUORVEL_FLOOR_DIR};
  for (int program = 0; program < kProgramCount; ++program) {
    std::string vertexPath = paths[program] + "/Quorvel.vert";
    std::string fragmentPath = paths[program] + "/Quorvel.frag";
    surface->programs[program] = shaderManager.loadFromFiles(vertexPath.c_str(), fragmentPath.c_str());
    if (!surface->programs[program]) return false;
  }
  createPermTexture(&permTextureId);
  createGradTexture(&gradTextureId);
  glfwSwapInterval(0);
  // The table shows what the GL draws into, which a small screen may clip.
  glfwGetFramebufferSize(surface->window, &surface->width, &surface->height);
  return true;
}

// Programs go back to the manager while their context is still current.
void closeSurfaces(std::vector<Surface>& surfaces) {
  for (Surface& surface : surfaces) {
    if (!surface.window) continue;
    glfwMakeContextCurrent(surface.window);
    for (glShader* program : surface.programs) {
      if (program) shaderManager.freeProgram(program);
    }
  }
}

void selectCase(const Case& c) {
  window = c.surface->window;
  glfwMakeContextCurrent(window);
  cloudShader = c.surface->programs[c.program];
  dragging = c.dragging;
}

// One frame as the application draws it; glFinish makes sure the frame is
// complete, not just queued, when the clock is read.
double drawFrame() {
  double start = glfwGetTime();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  setupCamera();
  drawScene();
  glfwSwapBuffers(window);
  glFinish();
  return (glfwGetTime() - start) * 1000.0;
}

double processCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1.0e6;
}

long minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

void measureCase(Case& c, int frames) {
  selectCase(c);
  // The first frame after a context switch pays for the switch.
  drawFrame();
  Block block{glfwGetTime(), frames, 0.0, processCpuMs(), minorFaults()};
  for (int i = 0; i < frames; ++i) {
    c.frameMs.push_back(drawFrame());
    block.wallMs += c.frameMs.back();
  }
  block.cpuMs = processCpuMs() - block.cpuMs;
  block.faults = minorFaults() - block.faults;
  c.blocks.push_back(block);
}

void runRound(std::vector<Case>& cases, int frames, bool reversed) {
  if (reversed) {
    for (auto c = cases.rbegin(); c != cases.rend(); ++c) measureCase(*c, frames);
  } else {
    for (Case& c : cases) measureCase(c, frames);
  }
  glfwPollEvents();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// The median over the blocks, so that a block that a neighbour's burst
// slowed counts no more than any other.
double cpuMsAFrame(const std::vector<Block>& blocks) {
  std::vector<double> perFrame;
  perFrame.reserve(blocks.size());
  for (const Block& block : blocks) perFrame.push_back(block.cpuMs / block.frames);
  return median(perFrame);
}

double faultsAFrame(const std::vector<Block>& blocks) {
  long faults = 0;
  int frames = 0;
  for (const Block& block : blocks) {
    faults += block.faults;
    frames += block.frames;
  }
  return static_cast<double>(faults) / frames;
}

// The case's blocks that started before `seconds` into the run, or the others.
std::vector<Block> blocksBefore(const Case& c, double seconds, bool before) {
  std::vector<Block> picked;
  for (const Block& block : c.blocks) {
    if ((block.start < seconds) == before) picked.push_back(block);
  }
  return picked;
}

void printTable(const std::vector<Case>& cases) {
  std::printf("%-16s %10s %10s %8s %8s %10s %13s\n", "case", "size", "wall ms", "min", "max", "CPU ms", "faults/frame");
  for (const Case& c : cases) {
    auto [low, high] = std::minmax_element(c.frameMs.begin(), c.frameMs.end());
    std::string size = std::to_string(c.surface->width) + "x" + std::to_string(c.surface->height);
    std::printf("%-16s %10s %10.1f %8.1f %8.1f %10.1f %13.1f\n", c.name, size.c_str(), median(c.frameMs), *low, *high,
                cpuMsAFrame(c.blocks), faultsAFrame(c.blocks));
  }
}

// A case's frame rate over the reference's, from the CPU time and from the
// wall time: in each round the reference's time over the case's, and the
// median of those, so that the load of the moment falls on both sides of
// every ratio. The target, if any (0 is none), is held against the CPU time,
// which the load moves least. Gives the CPU time's ratio.
double printRatio(const std::string& label, const Case& measured, const Case& reference, double target) {
  std::vector<double> cpu;
  std::vector<double> wall;
  for (size_t round = 0; round < measured.blocks.size(); ++round) {
    const Block& ours = measured.blocks[round];
    const Block& theirs = reference.blocks[round];
    cpu.push_back(theirs.cpuMs / ours.cpuMs);
    wall.push_back(theirs.wallMs / ours.wallMs);
  }
  std::printf("%-28s %5.2f %6.2f", label.c_str(), median(cpu), median(wall));
  if (target > 0) std::printf("  (target >= %.2f)%s", target, median(cpu) >= target ? "" : "  BELOW TARGET");
  std::printf("\n");
  return median(cpu);
}

// The same program timed as two cases must come out level: otherwise the
// order or the load decides comparisons.
void printSelfCheck(const Case& pairB, const Case& pair) {
  double cpu = printRatio("self-check: same pair B / A", pairB, pair, 0.0);
  double percent = kSelfCheckTolerance * 100.0;
  if (std::fabs(cpu - 1.0) <= kSelfCheckTolerance) {
    std::printf("%-28s level within %.0f %%\n", "", percent);
  } else {
    std::printf("%-28s NOT LEVEL: the benchmark is biased by more than %.0f %%\n", "", percent);
  }
}

// The clouds' frames in the first seconds against the later ones: a young
// process that pays for its memory every frame shows here.
void printStartUp(const Case& clouds) {
  std::vector<Block> early = blocksBefore(clouds, kStartUpSeconds, true);
  std::vector<Block> later = blocksBefore(clouds, kStartUpSeconds, false);
  if (early.empty() || later.empty()) {
    std::printf("start-up: every frame of the clouds fell on one side of %.0f s; a longer run compares them\n",
                kStartUpSeconds);
    return;
  }
  std::printf(
      "start-up: clouds at rest in the first %.0f s %.1f CPU ms and %.1f faults a frame, later %.1f and %.1f"
      " (first / later %.2f)\n",
      kStartUpSeconds, cpuMsAFrame(early), faultsAFrame(early), cpuMsAFrame(later), faultsAFrame(later),
      cpuMsAFrame(early) / cpuMsAFrame(later));
}

// The run must not cost a missing-uniform or GL error line a frame.
int countLogProblems(const char* logPath) {
  std::ifstream log(logPath);
  int problems = 0;
  for (std::string line; std::getline(log, line);) {
    if (line.rfind("Error: can't find uniform", 0) == 0 || line.rfind("GL Error", 0) == 0) ++problems;
  }
  return problems;
}

bool parseOptions(int argc, char** argv, Options* options) {
  std::vector<int*> counts{&options->rounds, &options->frames};
  size_t nextCount = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--pair") == 0 && i + 1 < argc && options->pairDirs.size() < 2) {
      options->pairDirs.push_back(argv[++i]);
    } else if (std::strcmp(argv[i], "--quick") == 0) {
      options->quick = true;
    } else if (nextCount < counts.size() && std::atoi(argv[i]) > 0) {
      *counts[nextCount++] = std::atoi(argv[i]);
    } else {
      return false;
    }
  }
  if (options->pairDirs.empty()) options->pairDirs.push_back(QUORVEL_SHADER_DIR);
  return true;
}

int measure(const Options& options, std::vector<Surface>& surfaces) {
  for (Surface& surface : surfaces) {
    if (!openSurface(&surface, options)) {
      std::fprintf(stderr, "could not open a %dx%d window with every program; see bench-log.txt\n", surface.width,
                   surface.height);
      return 1;
    }
  }
  Surface* small = surfaces.data();
  std::vector<Case> cases{{"clouds at rest", small, kPair, false, {}, {}},
                          {"pair B at rest", small, kPairB, false, {}, {}},
                          {"drag preview", small, kPair, true, {}, {}},
                          {"pass-through", small, kPassThrough, false, {}, {}},
                          {"geometry only", &surfaces[1], kPassThrough, false, {}, {}},
                          // The pair's vertex stage, with next to no fragments.
                          {"cloud vertices", &surfaces[1], kPair, false, {}, {}}};
  const size_t firstLarger = cases.size();
  for (size_t i = 2; i < surfaces.size(); ++i) {
    cases.push_back({"clouds at rest", &surfaces[i], kPair, false, {}, {}});
    cases.push_back({"pass-through", &surfaces[i], kPassThrough, false, {}, {}});
  }
  // Warm-up: the GL compiles its shader variants on first use.
  runRound(cases, 1, false);
  for (Case& c : cases) {
    c.frameMs.clear();
    c.blocks.clear();
  }
  for (int round = 0; round < options.rounds; ++round) runRound(cases, options.frames, round % 2 == 1);

  std::printf("%d rounds x %d frames per case, pair from %s", options.rounds, options.frames,
              options.pairDirs[0].c_str());
  if (options.pairDirs.size() > 1) std::printf(", pair B from %s", options.pairDirs[1].c_str());
  std::printf("\n\n");
  printTable(cases);
  std::printf("\n%-28s %5s %6s\n", "frame rate over", "CPU", "wall");
  printRatio("clouds / floor", cases[0], cases[3], 1.40);
  printRatio("preview / floor", cases[2], cases[3], 1.90);
  // The larger windows come as pairs of cases: clouds, then pass-through.
  for (size_t i = firstLarger; i + 1 < cases.size(); i += 2) {
    const Surface& size = *cases[i].surface;
    std::string label = "clouds / floor " + std::to_string(size.width) + "x" + std::to_string(size.height);
    printRatio(label, cases[i], cases[i + 1], size.width == 800 ? 1.50 : 0.0);
  }
  if (options.pairDirs.size() > 1) {
    printRatio("pair B / pair at rest", cases[1], cases[0], 0.0);
  } else {
    printSelfCheck(cases[1], cases[0]);
  }
  printStartUp(cases[0]);
  return 0;
}

int runBench(const Options& options) {
  std::vector<Surface> surfaces{
      {400, 300, nullptr, {}}, {1, 1, nullptr, {}}, {800, 600, nullptr, {}}, {1600, 1200, nullptr, {}}};
  if (options.quick) surfaces.resize(2);
  int status = measure(options, surfaces);
  closeSurfaces(surfaces);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "usage: %s [rounds [frames]] [--pair DIR [--pair DIR]] [--quick]\n", argv[0]);
    return 2;
  }
  // The shader library writes its reports to the standard output stream;
  // keep them apart from the table.
  const char* logPath = "bench-log.txt";
  std::ofstream log(logPath);
  std::streambuf* consoleBuffer = std::cout.rdbuf(log.rdbuf());
  if (!glfwInit()) {
    std::cout.rdbuf(consoleBuffer);
    std::fprintf(stderr, "GLFW could not start: no display?\n");
    return 1;
  }
  int status = runBench(options);
  glfwTerminate();
  std::cout.rdbuf(consoleBuffer);
  log.close();
  int problems = countLogProblems(logPath);
  if (problems > 0) std::printf("\n%d missing-uniform or GL error lines in %s\n", problems, logPath);
  return status;
}
