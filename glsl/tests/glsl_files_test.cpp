// Reading a shader stage's source from a file, or pointing it at text the
// caller keeps.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "files.h"
#include "glsl_support.h"
#include "hidden_context.h"

namespace {

class ShaderFiles : public ::testing::Test {
protected:
  ~ShaderFiles() override { std::filesystem::remove_all(directory_); }

  std::string path(const std::string& name) const { return directory_ + "/" + name; }
  std::string write(const std::string& name, const std::string& text) const {
    writeFile(path(name), text);
    return path(name);
  }

  // Plain stage objects make no GL call, so these tests need no context.
  glShaderObject stage_;

private:
  std::string directory_ = makeTempDir();
};

TEST_F(ShaderFiles, AFileIsReadBackExactlyWithItsTerminator) {
  const std::string text = "#version 120\r\n\tvoid main() {}\r\n// \xC3\xA9\n";
  // The file is read as text: Windows turns each CR LF into LF, POSIX
  // systems pass carriage returns through. Tabs pass through everywhere.
#ifdef _WIN32
  const std::string read = "#version 120\n\tvoid main() {}\n// \xC3\xA9\n";
#else
  const std::string& read = text;
#endif
  ASSERT_EQ(stage_.loadFromFile(write("exact.vert", text).c_str()), 0);
  EXPECT_TRUE(stage_.owns_source);
  ASSERT_NE(stage_.source, nullptr);
  EXPECT_EQ(std::strlen(stage_.source), read.size());
  EXPECT_EQ(std::string(stage_.source), read);
}

// As some Windows editors save UTF-8: the mark is no part of the text, and
// the compiler would take it for a stray token. Only at the start is it one.
TEST_F(ShaderFiles, ALeadingByteOrderMarkIsSkipped) {
  const std::string mark = "\xEF\xBB\xBF";
  ASSERT_EQ(stage_.loadFromFile(write("marked.vert", mark + kGoodVertex).c_str()), 0);
  EXPECT_EQ(std::string(stage_.source), kGoodVertex);
  EXPECT_EQ(stage_.loadFromFile(write("mark.vert", mark).c_str()), -2);
  ASSERT_EQ(stage_.loadFromFile(write("inner.vert", "//" + mark).c_str()), 0);
  EXPECT_EQ(std::string(stage_.source), "//" + mark);
}

TEST_F(ShaderFiles, ASecondLoadReplacesTheFirstText) {
  ASSERT_EQ(stage_.loadFromFile(write("first.vert", "first text").c_str()), 0);
  ASSERT_EQ(stage_.loadFromFile(write("second.vert", "second").c_str()), 0);
  EXPECT_STREQ(stage_.source, "second");
  EXPECT_TRUE(stage_.owns_source);
}

TEST_F(ShaderFiles, AnEmptyFileLeavesTheEarlierSourceInPlace) {
  const char* callerText = "kept by the caller";
  stage_.setSource(callerText);
  EXPECT_EQ(stage_.loadFromFile(write("empty.vert", "").c_str()), -2);
  EXPECT_EQ(stage_.source, callerText);
  EXPECT_FALSE(stage_.owns_source);

  ASSERT_EQ(stage_.loadFromFile(write("loaded.vert", "loaded").c_str()), 0);
  const char* loaded = stage_.source;
  EXPECT_EQ(stage_.loadFromFile(path("empty.vert").c_str()), -2);
  EXPECT_EQ(stage_.source, loaded);
  EXPECT_TRUE(stage_.owns_source);
}

TEST_F(ShaderFiles, AMissingFileCannotBeOpened) {
  EXPECT_EQ(stage_.loadFromFile(path("nowhere.vert").c_str()), -1);
  EXPECT_EQ(stage_.source, nullptr);
  EXPECT_FALSE(stage_.owns_source);
}

TEST_F(ShaderFiles, ADirectoryIsNotASource) {
  ASSERT_TRUE(std::filesystem::create_directory(path("shaders.vert")));
  EXPECT_EQ(stage_.loadFromFile(path("shaders.vert").c_str()), -1);
  EXPECT_EQ(stage_.source, nullptr);
}

#ifndef _WIN32
// Windows has no FIFOs among its files.
TEST_F(ShaderFiles, AFifoIsRefusedWithoutWaitingForAWriter) {
  ASSERT_EQ(mkfifo(path("pipe.vert").c_str(), 0600), 0);
  // Opening a FIFO for reading blocks until a writer comes: should the load
  // open it, the alarm ends the test binary instead of hanging it.
  alarm(10);
  int result = stage_.loadFromFile(path("pipe.vert").c_str());
  alarm(0);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(stage_.source, nullptr);
}
#endif

TEST_F(ShaderFiles, AFileLongerThanThirtyTwoBitsIsRefused) {
  stage_.setSource("earlier");
  // A sparse file: four GiB long, next to nothing on disk.
  std::string huge = write("huge.vert", "");
  std::error_code error;
  std::filesystem::resize_file(huge, 0x100000000LL, error);
  ASSERT_FALSE(error) << "the file system cannot hold a sparse 4 GiB file";
  EXPECT_EQ(stage_.loadFromFile(huge.c_str()), -3);
  EXPECT_STREQ(stage_.source, "earlier");
  EXPECT_FALSE(stage_.owns_source);
}

TEST_F(ShaderFiles, SetSourceAfterALoadPointsAtTheCallersText) {
  ASSERT_EQ(stage_.loadFromFile(write("loaded.vert", "loaded").c_str()), 0);
  const char* callerText = "void main() {}";
  stage_.setSource(callerText);
  EXPECT_EQ(stage_.source, callerText);
  EXPECT_FALSE(stage_.owns_source);
}

TEST_F(ShaderFiles, ANullSourceDoesNotCompile) {
  useHiddenContext();
  aVertexShader vertex;
  EXPECT_FALSE(vertex.compile());
  EXPECT_FALSE(vertex.compiled);

  vertex.setSource(kGoodVertex);
  ASSERT_TRUE(vertex.compile());
  vertex.setSource(nullptr);
  EXPECT_FALSE(vertex.compile());
  EXPECT_FALSE(vertex.compiled);
}

}  // namespace
