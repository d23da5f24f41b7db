#include "shader_reload.h"

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>

#include "state.h"
#include "window.h"

namespace {

// Seconds on the GLFW clock between two looks at the files.
const double kLookInterval = 0.2;

// What a look sees of one file. A file renamed over it has a write time of
// its own, so a save through a temporary file shows as well.
struct FileStamp {
  std::filesystem::file_type type = std::filesystem::file_type::none;
  std::uintmax_t size = 0;
  std::filesystem::file_time_type writeTime;

  bool operator==(const FileStamp& other) const {
    return type == other.type && size == other.size && writeTime == other.writeTime;
  }
};

struct PairStamp {
  FileStamp vertex;
  FileStamp fragment;

  bool operator==(const PairStamp& other) const { return vertex == other.vertex && fragment == other.fragment; }
};

// The pair as the last build found it, and as the last look found it.
PairStamp builtStamp;
PairStamp lastLook;
double nextLookTime = 0.0;

// A file that is missing or cannot be read gives a stamp of its own, so its
// coming back is an edit too.
FileStamp stampOf(const char* path) {
  std::error_code error;
  FileStamp stamp;
  stamp.type = std::filesystem::status(path, error).type();
  if (stamp.type != std::filesystem::file_type::regular) return stamp;
  stamp.size = std::filesystem::file_size(path, error);
  stamp.writeTime = std::filesystem::last_write_time(path, error);
  return stamp;
}

PairStamp stampPair() { return {stampOf(kVertexFile), stampOf(kFragmentFile)}; }

// The old program goes only once the new one has built, so a broken edit
// leaves the last good pair drawing.
void rebuild() {
  glShader* edited = shaderManager.loadFromFiles(kVertexFile, kFragmentFile);
  // The log tells the whole story at once, as the page shows it while the
  // run goes on: a file that cannot be read is told without a flush of its
  // own.
  std::cout.flush();
  reportBuild(lastBuild(true));
  if (!edited) return;
  shaderManager.freeProgram(cloudShader);
  cloudShader = edited;
}

}  // namespace

bool loadCloudShader() {
  // Stamped before the files are read: an edit during the build is seen
  // afterwards.
  builtStamp = stampPair();
  lastLook = builtStamp;
  cloudShader = shaderManager.loadFromFiles(kVertexFile, kFragmentFile);
  reportBuild(lastBuild(false));
  return cloudShader != nullptr;
}

// An editor may truncate the file and then write it, or write it in several
// pieces: a look that differs from the one before may be half an edit, so
// only one that the next look confirms is built. A failed build is not
// tried again until the files change once more.
void reloadEditedShaders() {
  double now = glfwGetTime();
  if (now < nextLookTime) return;
  nextLookTime = now + kLookInterval;
  PairStamp look = stampPair();
  bool settled = look == lastLook;
  lastLook = look;
  if (!settled || look == builtStamp) return;
  builtStamp = look;
  rebuild();
}
