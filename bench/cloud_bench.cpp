// Frame times of the cloud shader pair against the cheapest frame this design
// can draw, through the application's own camera, scene and buffer swap.
//
// Usage: quorvel_bench [rounds [frames]] [--pair DIR] [--quick]
// Each round draws `frames` timed frames of every case in turn, so that load
// from other processes falls on all cases alike; the table gives the median
// over all rounds. DIR holds the Quorvel.vert/Quorvel.frag pair to measure
// (default: the shipped one); --quick leaves out the larger windows.
#include <algorithm>
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

struct Surface {
  int width;
  int height;
  GLFWwindow* window;
  glShader* clouds;
  glShader* passThrough;
};

struct Case {
  const char* name;
  Surface* surface;
  bool passThrough;
  bool dragging;
  std::vector<double> frameMs;
  // The process's CPU time, the GL driver's threads included: it repeats
  // from run to run where wall time moves with the machine's load.
  std::vector<double> cpuMs;
};

// A window as the application opens it, at another size, with its own
// context, programs and noise textures.
bool openSurface(Surface* surface, const std::string& pairDir) {
  surface->window = createWindow(surface->width, surface->height, "Quorvel bench");
  if (!surface->window) return false;
  glfwMakeContextCurrent(surface->window);
  window = surface->window;
  initGLState();
  initGLExtensions();
  std::string vertexPath = pairDir + "/Quorvel.vert";
  std::string fragmentPath = pairDir + "/Quorvel.frag";
  surface->clouds = shaderManager.loadFromFiles(vertexPath.c_str(), fragmentPath.c_str());
  surface->passThrough =
      shaderManager.loadFromFiles(QUORVEL_PASS_THROUGH_DIR "/Quorvel.vert", QUORVEL_PASS_THROUGH_DIR "/Quorvel.frag");
  createPermTexture(&permTextureId);
  createGradTexture(&gradTextureId);
  glfwSwapInterval(0);
  // The table shows what the GL draws into, which a small screen may clip.
  glfwGetFramebufferSize(surface->window, &surface->width, &surface->height);
  return surface->clouds && surface->passThrough;
}

// Programs go back to the manager while their context is still current.
void closeSurfaces(std::vector<Surface>& surfaces) {
  for (Surface& surface : surfaces) {
    if (!surface.window) continue;
    glfwMakeContextCurrent(surface.window);
    shaderManager.freeProgram(surface.clouds);
    shaderManager.freeProgram(surface.passThrough);
  }
}

void selectCase(const Case& c) {
  window = c.surface->window;
  glfwMakeContextCurrent(window);
  cloudShader = c.passThrough ? c.surface->passThrough : c.surface->clouds;
  dragging = c.dragging;
}

// One frame as the application draws it, timed into the case; glFinish
// makes sure the frame is complete, not just queued, when the clocks are
// read.
void drawFrame(Case* timed) {
  double start = glfwGetTime();
  std::clock_t cpuStart = std::clock();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  setupCamera();
  drawScene();
  glfwSwapBuffers(window);
  glFinish();
  if (!timed) return;
  timed->frameMs.push_back((glfwGetTime() - start) * 1000.0);
  timed->cpuMs.push_back(static_cast<double>(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC);
}

void runRound(std::vector<Case>& cases, int frames) {
  for (Case& c : cases) {
    selectCase(c);
    // The first frame after a context switch pays for the switch.
    drawFrame(nullptr);
    for (int i = 0; i < frames; ++i) drawFrame(&c);
  }
  glfwPollEvents();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

void printTable(const std::vector<Case>& cases) {
  std::printf("%-16s %10s %10s %9s %9s %8s %8s\n", "case", "size", "median ms", "min ms", "max ms", "fps", "cpu ms");
  for (const Case& c : cases) {
    auto [low, high] = std::minmax_element(c.frameMs.begin(), c.frameMs.end());
    double ms = median(c.frameMs);
    std::string size = std::to_string(c.surface->width) + "x" + std::to_string(c.surface->height);
    std::printf("%-16s %10s %10.1f %9.1f %9.1f %8.1f %8.1f\n", c.name, size.c_str(), ms, *low, *high, 1000.0 / ms,
                median(c.cpuMs));
  }
}

// A case's frame rate over the pass-through frame rate: the floor's frame
// time over the case's. A target of 0 is none.
void printRatio(const std::string& label, const Case& measured, const Case& floor, double target) {
  double ratio = median(floor.frameMs) / median(measured.frameMs);
  std::printf("%-26s %5.2f", label.c_str(), ratio);
  if (target > 0) std::printf("  (target >= %.2f)%s", target, ratio >= target ? "" : "  BELOW TARGET");
  std::printf("\n");
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

struct Options {
  int rounds = 6;
  int frames = 5;
  std::string pairDir = QUORVEL_SHADER_DIR;
  bool quick = false;
};

bool parseOptions(int argc, char** argv, Options* options) {
  std::vector<int*> counts{&options->rounds, &options->frames};
  size_t nextCount = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--pair") == 0 && i + 1 < argc) {
      options->pairDir = argv[++i];
    } else if (std::strcmp(argv[i], "--quick") == 0) {
      options->quick = true;
    } else if (nextCount < counts.size() && std::atoi(argv[i]) > 0) {
      *counts[nextCount++] = std::atoi(argv[i]);
    } else {
      return false;
    }
  }
  return true;
}

int measure(const Options& options, std::vector<Surface>& surfaces) {
  for (Surface& surface : surfaces) {
    if (!openSurface(&surface, options.pairDir)) {
      std::fprintf(stderr, "could not open a %dx%d window with both programs; see bench-log.txt\n", surface.width,
                   surface.height);
      return 1;
    }
  }
  Surface* small = surfaces.data();
  std::vector<Case> cases{{"clouds at rest", small, false, false, {}, {}},
                          {"drag preview", small, false, true, {}, {}},
                          {"pass-through", small, true, false, {}, {}},
                          {"geometry only", &surfaces[1], true, false, {}, {}},
                          // The pair's vertex stage, with next to no fragments.
                          {"cloud vertices", &surfaces[1], false, false, {}, {}}};
  for (size_t i = 2; i < surfaces.size(); ++i) {
    cases.push_back({"clouds at rest", &surfaces[i], false, false, {}, {}});
    cases.push_back({"pass-through", &surfaces[i], true, false, {}, {}});
  }
  // Warm-up: the GL compiles its shader variants on first use.
  runRound(cases, 1);
  for (Case& c : cases) {
    c.frameMs.clear();
    c.cpuMs.clear();
  }
  for (int round = 0; round < options.rounds; ++round) runRound(cases, options.frames);

  std::printf("%d rounds x %d frames per case, pair from %s\n\n", options.rounds, options.frames,
              options.pairDir.c_str());
  printTable(cases);
  std::printf("\n");
  printRatio("clouds / floor", cases[0], cases[2], 1.40);
  printRatio("preview / floor", cases[1], cases[2], 1.90);
  // The larger windows come as pairs of cases: clouds, then pass-through.
  for (size_t i = 5; i + 1 < cases.size(); i += 2) {
    const Surface& size = *cases[i].surface;
    std::string label = "clouds / floor " + std::to_string(size.width) + "x" + std::to_string(size.height);
    printRatio(label, cases[i], cases[i + 1], size.width == 800 ? 1.50 : 0.0);
  }
  return 0;
}

int runBench(const Options& options) {
  std::vector<Surface> surfaces{{400, 300, nullptr, nullptr, nullptr},
                                {1, 1, nullptr, nullptr, nullptr},
                                {800, 600, nullptr, nullptr, nullptr},
                                {1600, 1200, nullptr, nullptr, nullptr}};
  if (options.quick) surfaces.resize(2);
  int status = measure(options, surfaces);
  closeSurfaces(surfaces);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "usage: %s [rounds [frames]] [--pair DIR]\n", argv[0]);
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
