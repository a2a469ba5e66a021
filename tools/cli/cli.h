// orvik-cli as a function: the command line after the program name in, the exit status out.
#pragma once

#include <string>
#include <vector>

#include "output.h"

// COM must be initialised on the calling thread.
int RunCli(const std::vector<std::wstring> &argv, Output &out);
