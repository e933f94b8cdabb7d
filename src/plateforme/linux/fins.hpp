// The signals that end a run on Linux (Ctrl-C, a hang-up, a polite kill, a quit), and
// what the run must undo before it ends: the exclusive flag of its port, and the mode
// of the terminal during the closing pause. Used by the Linux port only.
#pragma once

#include <termios.h>

namespace gsicom {

// From now on those signals undo what is kept below, then end the run as they would
// have ended it. A signal the caller ignored (nohup, a script's background job) stays
// ignored.
void intercepterLesFins();

// The descriptor whose exclusive flag the run has set (-1: none), cleared by a signal
// that ends the run: a tty someone else keeps open (the simulator's pty) keeps the
// flag after the run, and the port would look held until that program ends.
void retenirExclusif(int fd);

// The mode of the terminal on standard input as it was before the pause made it raw
// (nullptr: given back already), given back by a signal that ends the run: a shell
// left without echo looks dead to the operator.
void retenirTerminal(const termios* avant);

}  // namespace gsicom
