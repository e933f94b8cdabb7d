// The simulator's log, which never makes the serving loop wait for its reader. A
// regular file takes every line as it comes. Any other output (a pipe, a terminal,
// as `gsicom-sim 2>&1 | less` left unscrolled) is written without blocking: the
// lines it cannot take yet wait in a buffer that the loop writes once the output
// can take more (attente() goes into its poll set). Past 1 MiB waiting, lines are
// dropped and counted, and a line says how many once there is room again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace gsicom::sim {

// The monotonic clock, in nanoseconds.
std::uint64_t nowNs();

class Journal {
public:
    // fd is the caller's, left open; debutNs is the start of the run (nowNs()).
    Journal(int fd, std::uint64_t debutNs);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // One line: wall clock, seconds since start, the kind ('>', '<' or '#'), the text.
    void noter(char genre, std::string_view texte);

    // The descriptor to watch for POLLOUT, or -1 when no line waits.
    int attente() const;

    // Writes what the output takes now, without waiting.
    void vider();

    static constexpr std::size_t kEnAttenteMax = 1u << 20;

private:
    std::string ligne(char genre, std::string_view texte) const;

    int fd_;
    int sortie_;      // the descriptor written: fd_, or a non-blocking copy of it
    bool fichier_;    // a regular file: every line written at once
    bool bloquante_;  // sortie_ may block: written only where poll says it can
    std::uint64_t debutNs_;
    std::string tampon_;  // lines waiting, from debut_ on
    std::size_t debut_ = 0;
    unsigned long perdues_ = 0;
};

}  // namespace gsicom::sim
