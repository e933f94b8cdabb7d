// gsicom's hold on a Linux serial device: whether another program holds it (its
// flock, its exclusive flag, a descriptor found in /proc), and the exclusive flag
// gsicom sets and clears (which a signal that ends the run clears too: linux/fins.hpp).
// Used by the Linux port (linux/port.cpp) only.
#pragma once

#include <sys/types.h>

#include <string>

namespace gsicom {

// Takes the device open on `fd` (character device `rdev`) for this run: its flock,
// then its exclusive flag. False when another program holds it, or when the flag
// cannot be set, with the operator's line in `pourquoi`; the flag is then not left
// set by us.
bool prendrePort(int fd, dev_t rdev, const char* com, const std::string& chemin,
                 std::string& pourquoi);

// Clears the exclusive flag prendrePort set on `fd`, before `fd` is closed.
void lacherPort(int fd);

}  // namespace gsicom
