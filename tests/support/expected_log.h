// What the program's log should hold, built from what this machine's GL says
// itself, so that the end-to-end tests hold on whichever GL runs them. Shader
// sources reach the GL as C strings, so up to their first NUL, as the
// program hands over what it read.
#ifndef QUORVEL_TEST_EXPECTED_LOG_H
#define QUORVEL_TEST_EXPECTED_LOG_H

#include <GL/glew.h>

#include <map>
#include <string>

// The GL report and the shading-language verdict that start every log, as
// the library writes them on this display under the given environment.
std::string startupReport(const std::map<std::string, std::string>& env = {});

// The log's sections for a stage that compiles, one that does not, a pair
// that links and one that does not.
std::string compilerSection(GLenum stage, const std::string& source);
std::string compilerErrorSection(GLenum stage, const std::string& source);
std::string linkerSection(const std::string& vertexSource, const std::string& fragmentSource);
std::string linkerErrorSection(const std::string& vertexSource, const std::string& fragmentSource);
// Both compiler sections and the linker section of a pair that builds.
std::string buildSections(const std::string& vertexSource, const std::string& fragmentSource);

// "Quorvel.vert" or "Quorvel.frag" as shipped.
std::string shippedShader(const char* name);
// A shader in the middle of comment lines, `bytes` of them in all.
std::string buriedInLineComments(const std::string& shader, size_t bytes);
// The whole log of a run of the shipped pair in which nothing went wrong.
std::string normalLog();

#endif
