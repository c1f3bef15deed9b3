// Under Wine a suite's output goes into a pipe, where the C runtime keeps it
// in a buffer until the program ends: a program that dies takes everything it
// printed with it. Each line is written at once instead, so a crash still shows
// how far the suite got, and a run that printed nothing never reached main
// (see run-under-wine).
#include <cstdio>

namespace {
const int kUnbuffered = setvbuf(stdout, nullptr, _IONBF, 0);
}  // namespace
