#include "shader_reload.h"

#include <sys/stat.h>

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
// its own, so a save through a temporary file shows as well. A link turned
// to another file of the same size and write time shows in the file's
// device and inode, and a change of permissions (a file made readable again)
// in its change time; Windows gives no inode and its creation time there.
struct FileStamp {
  std::filesystem::file_type type = std::filesystem::file_type::none;
  std::uintmax_t size = 0;
  std::filesystem::file_time_type writeTime;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t changeTime = 0;

  bool operator==(const FileStamp& other) const {
    return type == other.type && size == other.size && writeTime == other.writeTime && device == other.device &&
           inode == other.inode && changeTime == other.changeTime;
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

// The change time in nanoseconds where the system keeps them (POSIX's
// st_ctim), else in whole seconds, in which two changes within one second
// look alike. Called with 0, the first is taken wherever it compiles.
template <typename Info>
auto changeTimeOf(const Info& info, int /*preferred*/) -> decltype(info.st_ctim.tv_nsec, std::int64_t()) {
  return static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
}
template <typename Info>
std::int64_t changeTimeOf(const Info& info, long /*fallback*/) {
  return static_cast<std::int64_t>(info.st_ctime);
}

// A file that is missing or cannot be read gives a stamp of its own, so its
// coming back is an edit too. A link is followed: what counts is the file it
// names.
FileStamp stampOf(const char* path) {
  std::error_code error;
  FileStamp stamp;
  stamp.type = std::filesystem::status(path, error).type();
  if (stamp.type != std::filesystem::file_type::regular) return stamp;
  stamp.size = std::filesystem::file_size(path, error);
  stamp.writeTime = std::filesystem::last_write_time(path, error);
  struct stat info {};
  if (stat(path, &info) == 0) {
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    stamp.changeTime = changeTimeOf(info, 0);
  }
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
  reportBuild(lastBuild(true, edited));
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
  reportBuild(lastBuild(false, cloudShader));
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
