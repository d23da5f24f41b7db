// Linked with the program's entry into a second build of it. Static
// destruction runs after the entry function has returned and closed its log,
// so this shows where the standard output stream writes by then.
#include "exit_probe.h"

#include <iostream>

namespace {

struct ExitProbe {
  ~ExitProbe() { std::cout << kExitProbeLine << std::endl; }
} probe;

}  // namespace
