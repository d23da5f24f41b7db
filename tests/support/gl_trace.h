// Records the GL calls that a program makes, with the apitrace tool, and
// reads them back as names and argument texts in call order.
#ifndef QUORVEL_TEST_GL_TRACE_H
#define QUORVEL_TEST_GL_TRACE_H

#include <string>
#include <vector>

struct GLCall {
  std::string name;               // "glVertex3f"
  std::vector<std::string> args;  // as the recorder prints them: "-1.5", "GL_LINES", "\"zPosition\""
  std::string result;             // empty when the call returns nothing
};

// The calls of one run of argv, with what went wrong in *failure when the
// run or the recording failed (the list is then empty).
std::vector<GLCall> recordGLCalls(const std::vector<std::string>& argv, std::string* failure);

// The recording cut after each buffer swap, the swap ending its part; the
// last part holds what followed the last swap.
std::vector<std::vector<GLCall>> splitAtSwaps(const std::vector<GLCall>& calls);

// A float as the recorder prints it (seven significant digits), so that an
// expected value compares with a recorded one as text.
std::string printedFloat(float value);

#endif
