// The pair edited under a running program, without the window: each look
// comes when the test moves the GLFW clock on, and what a build leaves behind
// is counted in the GL and in the heap.
#include "shader_reload.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "files.h"
#include "gl_context.h"
#include "glsl_support.h"

namespace {

const char* const kBrokenFragment =
    "#version 120\n"
    "void main() { gl_FragColor = vec4(1.0) }\n";
const char* const kMissing = nullptr;
// A pair that uses every uniform that the scene sets: its builds say
// nothing on the console.
const char* const kSceneVertex =
    "#version 120\n"
    "uniform float zPosition;\nuniform vec4 rotCol0, rotCol1, rotCol2, rotCol3;\nuniform vec3 lightPos;\n"
    "void main() { gl_Position = mat4(rotCol0, rotCol1, rotCol2, rotCol3) * gl_Vertex + vec4(lightPos, zPosition); }\n";
const char* const kSceneFragment =
    "#version 120\n"
    "uniform int useNoise;\nuniform sampler2D permTexture, gradTexture;\n"
    "void main() { gl_FragColor = texture2D(permTexture, vec2(0.5)) * float(useNoise) + "
    "texture2D(gradTexture, vec2(0.5)); }\n";

// The log is thrown away: kept, it would grow the heap that the test watches.
struct DiscardingBuffer : std::streambuf {
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

int liveGLObjects() {
  int live = 0;
  for (GLuint name = 1; name < 2048; ++name) live += glIsShader(name) || glIsProgram(name);
  return live;
}

// Quorvel.frag made a symbolic link to `target`.
void relink(const char* target) {
  std::filesystem::remove("Quorvel.frag");
  std::filesystem::create_symlink(target, "Quorvel.frag");
}

// The kernel stamps changes from a clock that moves a few milliseconds at a
// time: waits until a change made now gets another time than `path` has.
void waitForTheChangeClock(const char* path) {
  struct stat file {};
  struct stat probe {};
  stat(path, &file);
  do {
    writeFile("probe", "");
    stat("probe", &probe);
  } while (probe.st_ctim.tv_sec == file.st_ctim.tv_sec && probe.st_ctim.tv_nsec == file.st_ctim.tv_nsec);
}

class ShaderReload : public ::testing::Test {
protected:
  ShaderReload() : savedLog_(std::cout.rdbuf(&log_)), savedErrors_(std::cerr.rdbuf(errors_.rdbuf())) {
    useGLContext();
    std::filesystem::current_path(directory_);
    writeFile("logfile.txt", "");
    edit(kSceneVertex, kSceneFragment);
    EXPECT_TRUE(loadCloudShader());
  }
  ~ShaderReload() override {
    shaderManager.freeProgram(cloudShader);
    std::cerr.rdbuf(savedErrors_);
    std::cout.rdbuf(savedLog_);
    std::filesystem::current_path(startDirectory_);
    std::filesystem::remove_all(directory_);
  }

  // Each edit gets a write time of its own, as a save a moment later would.
  void edit(const char* vertex, const char* fragment) {
    ++edits_;
    for (auto [name, text] : {std::pair{"Quorvel.vert", vertex}, std::pair{"Quorvel.frag", fragment}}) {
      std::filesystem::remove(name);
      if (!text) continue;
      writeFile(name, text);
      std::filesystem::last_write_time(name,
                                       std::filesystem::file_time_type::clock::now() + std::chrono::seconds(edits_));
    }
  }
  static void look() {
    glfwSetTime(glfwGetTime() + 1.0);
    reloadEditedShaders();
  }
  // Standard error since the last call.
  std::string errors() {
    std::string text = errors_.str();
    errors_.str("");
    return text;
  }
  static std::string notLoaded(const std::string& step, const char* why = " (logfile.txt says why)") {
    return "quorvel: the edited shader pair is not loaded: " + step + why + "; the last good pair still draws\n";
  }

  DiscardingBuffer log_;
  std::streambuf* savedLog_;
  std::stringstream errors_;
  std::streambuf* savedErrors_;
  std::filesystem::path startDirectory_ = std::filesystem::current_path();
  std::string directory_ = makeTempDir();
  int edits_ = 0;
};

TEST_F(ShaderReload, AnEditTwoLooksAgreeOnIsBuiltAndTheOldProgramGoes) {
  glShader* old = cloudShader;
  GLuint names[] = {old->handle, old->objects.at(0)->handle, old->objects.at(1)->handle};
  // Truncated, then written: the half-way state is seen once only.
  edit("", kSceneFragment);
  look();
  edit(kSceneVertex, kSceneFragment);
  look();
  EXPECT_EQ(cloudShader, old) << "built before two looks agreed";
  look();
  ASSERT_NE(cloudShader, old);
  EXPECT_EQ(shaderManager.programs, std::vector<glShader*>{cloudShader});
  EXPECT_FALSE(glIsProgram(names[0]));
  EXPECT_FALSE(glIsShader(names[1]) || glIsShader(names[2]));
  EXPECT_TRUE(cloudShader->linked);
  look();
  EXPECT_EQ(shaderManager.programs.size(), 1u) << "built again without an edit";
  EXPECT_EQ(errors(), "");
}

// Changes that leave the size and the write time as they were are edits
// too: the pair is built again once two looks agree on them.
TEST_F(ShaderReload, ChangesThatKeepTheSizeAndWriteTimeAreBuilt) {
  // Two more texts of the built one's length and write time.
  std::string renamed = kSceneFragment;
  std::replace(renamed.begin(), renamed.end(), 'b', 'c');
  for (auto [name, text] : {std::pair{"a.frag", std::string(kSceneFragment)}, std::pair{"b.frag", renamed}}) {
    writeFile(name, text);
    std::filesystem::last_write_time(name, std::filesystem::last_write_time("Quorvel.frag"));
  }
  struct Change {
    const char* what;
    void (*make)();
  };
  const Change changes[] = {
      {"a link made to a copy", [] { relink("a.frag"); }},
      {"a link turned to another file", [] { relink("b.frag"); }},
      {"the permissions changed",
       [] {
         waitForTheChangeClock("Quorvel.frag");
         std::filesystem::permissions("Quorvel.frag", std::filesystem::perms::owner_write,
                                      std::filesystem::perm_options::remove);
       }},
  };
  for (const Change& change : changes) {
    glShader* before = cloudShader;
    change.make();
    look();
    look();
    EXPECT_NE(cloudShader, before) << change.what;
  }
  EXPECT_EQ(errors(), "");
}

TEST_F(ShaderReload, AnEditThatLacksUniformsNamesThemOnceOnTheConsole) {
  edit(kSceneVertex, kGoodFragment);
  look();
  look();
  EXPECT_EQ(errors(),
            "quorvel: the shader pair lacks the uniforms useNoise, permTexture, gradTexture, which the scene "
            "sets: each set writes a line to logfile.txt\n");
}

// Every way an edit can fail, round after round: the last good program goes
// on, standard error says once which step failed, and neither GL objects nor
// heap memory pile up. The first two rounds fill what the GL keeps for good.
TEST_F(ShaderReload, BrokenEditsKeepTheLastGoodProgramAndLeakNothing) {
  struct Broken {
    const char* vertex;
    const char* fragment;
    const char* step;
    // How the line after the step begins: the compiler's first message, where
    // editors jump to it.
    const char* message;
  };
  const Broken broken[] = {
      {kMissing, kGoodFragment, "Quorvel.vert cannot be read", ""},
      {kGoodVertex, "", "Quorvel.frag cannot be read", ""},
      {kBrokenVertex, kGoodFragment, "the vertex shader does not compile", "Quorvel.vert:2: error: "},
      {kGoodVertex, kBrokenFragment, "the fragment shader does not compile", "Quorvel.frag:2: error: "},
      {kUnresolvedVertex, kGoodFragment, "the pair does not link", "error: "},
  };
  glShader* good = cloudShader;
  size_t heapAfterWarmUp = 0;
  int objectsAfterWarmUp = 0;
  for (int round = 0; round < 12; ++round) {
    if (round == 2) {
      heapAfterWarmUp = mallinfo2().uordblks;
      objectsAfterWarmUp = liveGLObjects();
    }
    for (const Broken& failure : broken) {
      edit(failure.vertex, failure.fragment);
      look();
      look();
      look();
      std::string said = errors();
      std::string first = said.substr(0, said.find('\n') + 1);
      ASSERT_EQ(first, notLoaded(failure.step)) << "round " << round;
      ASSERT_EQ(said.compare(first.size(), std::strlen(failure.message), failure.message), 0) << said;
      ASSERT_EQ(cloudShader, good);
    }
  }
  EXPECT_EQ(liveGLObjects(), objectsAfterWarmUp);
  // Mesa never reuses a freed name, and its tables grow with the names
  // handed out: about 1 KiB a round here, as much as the same GL calls made
  // bare. Each shader object left behind costs several KiB more.
  size_t heap = mallinfo2().uordblks;
  EXPECT_LT(heap, heapAfterWarmUp + size_t{40} * 1024)
      << "10 rounds took the heap from " << heapAfterWarmUp << " to " << heap << " bytes";
  EXPECT_EQ(shaderManager.programs, std::vector<glShader*>{good});
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A log deleted while the program runs sends the user nowhere: the console
// alone says why.
TEST_F(ShaderReload, WithTheLogGoneAFailedEditSaysWhyItself) {
  std::filesystem::remove("logfile.txt");
  edit(kGoodVertex, kBrokenFragment);
  look();
  look();
  std::string said = errors();
  EXPECT_EQ(said.rfind(notLoaded("the fragment shader does not compile", "") + "Quorvel.frag:2: error: ", 0), 0u)
      << said;
}

}  // namespace
