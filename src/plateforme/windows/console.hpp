// The Windows console before the first line: wide enough for the start screen.
#pragma once

namespace gsicom {

// Widens the screen buffer and the window of the console that standard output is
// shown in to 131 columns (the widest picture row, 130 characters, and the cursor
// after it), the window no wider than the screen allows. Only a classic console
// window is widened: a pseudoconsole (Windows Terminal, an editor's terminal), a
// console that refuses, or an output that is no console, stays as it is. Nothing is
// printed either way.
void widenConsole();

}  // namespace gsicom
