// The yield hook through which long loops give the calling tool's user interface a turn.
#pragma once

#include <functional>

namespace kx8 {

// A tool's routine that processes its pending user-interface messages.
using TYieldProcessProc = std::function<void()>;

// The hook long loops call; empty (no tool interface to serve) unless the tool installs one.
inline TYieldProcessProc Global_YieldProcessProc;

// Gives the tool's message handling a turn by calling the hook when one is set; otherwise nothing.
void MyYieldProcess();

}  // namespace kx8
