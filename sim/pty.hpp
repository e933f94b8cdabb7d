// The simulator's pseudo-terminal, by its master only: opening it in raw mode, the
// byte time at the speed the program set, whether anyone holds the slave, and the
// exclusive mode a program that died left on it.
#pragma once

#include <cstdint>
#include <string>

namespace gsicom::sim {

// The line stays up while the program closes the slave (between its port scan and
// the real open) as long as the master is open. Termios requests on a Linux pty
// master act on the slave's settings: the raw mode is set, and the speed the
// program chose read, through the master.
struct Pty {
    int master = -1;
    std::string path;  // the slave
    Pty() = default;
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    ~Pty() { close(); }
    void close();
};

// A new pty, raw at 19200 baud, its master non-blocking; false with errno set.
bool openPty(Pty& pty);

// The speed the program set on the line, in baud; 19200 for one this does not know.
std::uint64_t vitesseLigne(int master);

// Time of one byte on the line (start bit, 8 data bits, stop bit) at that speed.
std::uint64_t byteNs(int master);

// Nobody has the slave open now: the master reports POLLHUP once its last
// descriptor is closed (a slave never opened reports nothing: nobody writes there).
bool esclaveLibre(int master);

// What became of an exclusive mode found on a free slave.
enum class Exclusif {
    absent,   // none: the last program cleared its own
    efface,   // left by a program that ended without clearing it: cleared now
    tenu,     // set by a program that opened the port meanwhile and holds it: kept
    bloque,   // set, and the slave refuses us (only root opens it past the mode)
    inconnu,  // the slave could not be looked at; erreur says why
};

// Opens the free slave for a moment (O_NOCTTY, read only) and clears an exclusive
// mode left on it: a program killed, or crashed, runs no clean-up, and its mode
// would refuse the port to every later run until the pty is gone. Call it only when
// esclaveLibre has just said so, and nobody has touched the port for a while. A
// program may still open the port in between: while the slave is open here the
// master cannot tell, so a mode found set is cleared only when /proc shows no other
// holder of the slave (one of another account is seen only by root, who alone opens
// a slave past its mode). Meanwhile a program that looks for the port's holders finds
// this one: the slave is held for an open, an ioctl and a close, and, when a mode
// is found set, for the look through /proc too.
// For the tests, GSICOM_SIM_REGARD_MS=N holds the slave open N ms more.
Exclusif effacerExclusifLaisse(const std::string& esclave, int& erreur);

}  // namespace gsicom::sim
