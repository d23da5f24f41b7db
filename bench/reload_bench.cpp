// What an edited shader pair costs the running program, through its own frame
// steps and reload: from a save to the build, the build itself, and from the
// build to the first frame drawn with the new pair; then the resident memory
// over many edits that build and many that do not.
//
// Usage: quorvel_reload_bench [saves [edits]]
// Runs in a fresh working directory holding the shipped pair. Each timed save
// rewrites one stage in place at a random moment between frames of the
// 400 x 300 window, as an editor would. The memory rounds shrink the window
// to 40 x 30 and move the clock on, so that each edit is looked at twice at
// once, and draw one frame after each.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "scene.h"
#include "shader_reload.h"
#include "state.h"
#include "textures.h"
#include "window.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void writeFile(const char* path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
}

// One frame as the entry draws it, the reload included; glFinish makes sure
// the frame is complete when the clock is read.
void drawFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  setupCamera();
  drawScene();
  swapBuffers();
  glFinish();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return resident * 4;
}

struct Timings {
  std::vector<double> frameMs, saveToBuild, buildMs, buildToFrame, saveToPicture;
};

// Every text is new to the GL, whose shader cache would otherwise answer a
// text compiled by an earlier run.
const std::string runId = std::to_string(std::random_device()());

void timeSaves(int saves, const std::string& vertex, const std::string& fragment, Timings* timings) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> moment(0.3, 1.3);
  for (int save = 0; save < saves; ++save) {
    double saveAt = glfwGetTime() + moment(random);
    while (glfwGetTime() < saveAt) {
      double start = glfwGetTime();
      drawFrame();
      reloadEditedShaders();
      timings->frameMs.push_back((glfwGetTime() - start) * 1000.0);
    }
    bool vertexStage = save % 2 == 0;
    std::string edit = "\n// save " + std::to_string(save) + " of run " + runId + "\n";
    writeFile(vertexStage ? "Quorvel.vert" : "Quorvel.frag", (vertexStage ? vertex : fragment) + edit);
    double saved = glfwGetTime();
    glShader* before = cloudShader;
    double buildStart = saved;
    while (cloudShader == before) {
      drawFrame();
      buildStart = glfwGetTime();
      reloadEditedShaders();
    }
    double built = glfwGetTime();
    drawFrame();
    double shown = glfwGetTime();
    timings->saveToBuild.push_back((buildStart - saved) * 1000.0);
    timings->buildMs.push_back((built - buildStart) * 1000.0);
    timings->buildToFrame.push_back((shown - built) * 1000.0);
    timings->saveToPicture.push_back((shown - saved) * 1000.0);
  }
}

// Resident memory after 1, 10, 100... edits and after the last.
void editRounds(const char* name, int edits, const char* path, const std::string& text, const char* broken) {
  std::printf("%-13s RSS, KiB:", name);
  int nextReport = 1;
  for (int edit = 1; edit <= edits; ++edit) {
    std::string edited = text;
    edited += "\n// edit " + std::to_string(edit) + " of run " + runId + "\n";
    edited += broken;
    writeFile(path, edited);
    for (int look = 0; look < 2; ++look) {
      glfwSetTime(glfwGetTime() + 1.0);
      reloadEditedShaders();
    }
    drawFrame();
    if (edit == nextReport || edit == edits) {
      std::printf(" %d: %ld", edit, residentKiB());
      nextReport *= 10;
    }
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  int saves = argc > 1 ? std::atoi(argv[1]) : 20;
  int edits = argc > 2 ? std::atoi(argv[2]) : 1000;
  std::string vertex = readFile(QUORVEL_SHADER_DIR "/Quorvel.vert");
  std::string fragment = readFile(QUORVEL_SHADER_DIR "/Quorvel.frag");
  // A directory of the run's own: two runs side by side would otherwise
  // edit each other's pair.
  std::filesystem::path directory = std::filesystem::temp_directory_path() / ("quorvel-reload-bench-" + runId);
  std::filesystem::create_directories(directory);
  std::filesystem::current_path(directory);
  writeFile("Quorvel.vert", vertex);
  writeFile("Quorvel.frag", fragment);
  std::ofstream log("logfile.txt");
  std::streambuf* console = std::cout.rdbuf(log.rdbuf());
  // One line per broken edit would drown the table.
  std::cerr.rdbuf(nullptr);

  glfwInit();
  if (!openWindow()) return 1;
  initGLState();
  initGLExtensions();
  if (!loadCloudShader()) return 1;
  createPermTexture(&permTextureId);
  createGradTexture(&gradTextureId);
  glfwSwapInterval(0);

  Timings timings;
  timeSaves(saves, vertex, fragment, &timings);
  std::printf(
      "median of %d saves, ms: frame %.0f, save to build %.0f, build %.0f, build to first frame %.0f, "
      "save to picture %.0f\n",
      saves, median(timings.frameMs), median(timings.saveToBuild), median(timings.buildMs),
      median(timings.buildToFrame), median(timings.saveToPicture));

  glfwSetWindowSize(window, 40, 30);
  editRounds("good edits", edits, "Quorvel.vert", vertex, "");
  editRounds("broken edits", edits, "Quorvel.frag", fragment, "broken");
  std::cout.rdbuf(console);
  glfwTerminate();
  std::filesystem::current_path(directory.parent_path());
  std::filesystem::remove_all(directory);
  return 0;
}
