// The line that the exit probe writes to the standard output stream at
// process exit, after the entry function has returned.
#ifndef QUORVEL_TEST_EXIT_PROBE_H
#define QUORVEL_TEST_EXIT_PROBE_H

inline const char* const kExitProbeLine = "exit probe: the standard output stream still writes";

#endif
