// Running programs for kesta's tests (from the shared test support): a
// program to its end with its output and exit code, one in the background
// with its output in files, or the simulator on a port of its own choosing
// (port 0), each stopped by its pid. And the tests' files.
#pragma once

#include <string>

#include "child_process.h"

namespace kestatool::test {

using posix_test::ChildProcess;
using posix_test::RunProgram;
using posix_test::RunResult;
using posix_test::SimProcess;
using posix_test::Stream;

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

}  // namespace kestatool::test
