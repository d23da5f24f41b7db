// Files and directories for tests, on every system the library builds for.
#ifndef GLSL_TEST_FILES_H
#define GLSL_TEST_FILES_H

#include <string>

// A fresh empty directory under the system's temporary directory.
std::string makeTempDir();
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);

#endif
