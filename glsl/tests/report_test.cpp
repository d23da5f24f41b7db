// The GL implementation report, the shading-language probe and GL error
// reports, as they reach the log.
#include <gtest/gtest.h>

#include "glsl.h"
#include "hidden_context.h"
#include "log_capture.h"

#ifndef _WIN32
#include "process.h"
#endif

namespace {

#ifndef _WIN32
// Each report comes from a helper process of its own, the first thing it
// writes, and Mesa's switches for other GLs reach it through its environment.
const char* const kMesaReportStart = "OpenGL Vendor: Mesa";

std::string runReport(std::map<std::string, std::string> env, const std::string& scenario = "") {
  std::vector<std::string> argv{GL_REPORT_BINARY};
  if (!scenario.empty()) argv.push_back(scenario);
  ProcessOptions options;
  options.setEnv = std::move(env);
  ProcessResult result = runProcess(argv, options);
  EXPECT_EQ(result.status, 0) << result.output;
  return result.output;
}

// The three report lines as the GL itself gives them.
std::string implementationReport() {
  useHiddenContext();
  auto text = [](GLenum name) { return std::string(reinterpret_cast<const char*>(glGetString(name))); };
  return "OpenGL Vendor: " + text(GL_VENDOR) + "\nOpenGL Renderer: " + text(GL_RENDERER) +
         "\nOpenGL Version: " + text(GL_VERSION) + "\n\n";
}

TEST(GLReport, MesaGetsTheReportTheVersionLineAndTheVerdict) {
  std::string log = runReport({});
  EXPECT_EQ(log, implementationReport() +
                     "OpenGL 2.0 is available!\n"
                     "[OK] OpenGL Shading Language is available!\n\n");
  EXPECT_EQ(log.rfind(kMesaReportStart, 0), 0u);
}

TEST(GLReport, ProbingFirstStillWritesTheReportOnceAndFirst) { EXPECT_EQ(runReport({}, "probe-first"), runReport({})); }

TEST(GLReport, AMissingVertexShaderExtensionRunsTogetherWithTheVerdict) {
  std::string log = runReport({{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_vertex_shader"}});
  // Without the extension Mesa also drops its version to 1.5.
  EXPECT_NE(log.find("OpenGL 1.5 core functions are available\n"
                     "GL_ARB_vertex_shader extension is not available!"
                     "[FAILED] OpenGL Shading Language is not available...\n\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("[OK]"), std::string::npos);
}

TEST(GLReport, AVersionOnePointFiveGLGetsItsOwnVersionLine) {
  std::string log = runReport({{"MESA_GL_VERSION_OVERRIDE", "1.5"}});
  EXPECT_NE(log.find("OpenGL Version: 1.5"), std::string::npos) << log;
  EXPECT_NE(log.find("\n\nOpenGL 1.5 core functions are available\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("OpenGL 2.0 is available!"), std::string::npos);
}
#endif

TEST(GLReport, ASecondStartWritesNothing) {
  useHiddenContext();
  LogCapture capture;
  EXPECT_TRUE(initGLExtensions());
  EXPECT_TRUE(probeGLSL());
  EXPECT_TRUE(hasGLSL());
  EXPECT_TRUE(hasGL2());
  EXPECT_EQ(capture.text(), "");
}

TEST(GLErrorReport, NothingPendingWritesNothing) {
  useHiddenContext();
  while (glGetError() != GL_NO_ERROR) {
  }
  LogCapture capture;
  EXPECT_FALSE(reportGLErrors("glsl", 12));
  EXPECT_EQ(capture.text(), "");
}

TEST(GLErrorReport, APendingErrorGetsOneExactLine) {
  useHiddenContext();
  glEnable(0xFFFF);  // not a capability: GL_INVALID_ENUM
  LogCapture capture;
  EXPECT_TRUE(reportGLErrors("glsl", 42));
  EXPECT_EQ(capture.text(), "GL Error #1280(invalid enumerant)  in File glsl at line: 42\n");
  EXPECT_FALSE(reportGLErrors("glsl", 43));
}

}  // namespace
