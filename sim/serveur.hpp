// The simulator at work on its pty: it reads the requests the program writes to the
// slave, answers them as sim::Instrument decides (or, when the program set another
// speed than the instrument's, answers none and garbles every reply), paced at the
// line's speed, logs both, follows who holds the slave, and ends on SIGINT or
// SIGTERM (or, with --une-session, once a program has talked and closed the port).
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "instrument.hpp"
#include "journal.hpp"
#include "options.hpp"
#include "pty.hpp"

namespace gsicom::sim {

// One piece of a reply on its way. A piece after the first of the same reply keeps
// its gap of silence after the previous one, however long that one took to send.
struct Envoi {
    std::uint64_t prevuNs;  // not before this
    std::uint64_t ecartNs;  // silence after the previous piece
    std::string octets;
    bool commence = false;
    std::uint64_t debutNs = 0;     // first byte on the line
    std::uint64_t parOctetNs = 0;  // 0: no pacing
    std::size_t envoyes = 0;
};

enum class Fin { continuer, arret, erreur };

struct Serveur {
    const Options& options;
    Pty& pty;
    int inotify;  // opens and closes of the slave: a wake-up only, never counted
    int signaux;  // signalfd of SIGINT and SIGTERM, which stay blocked
    Journal& journal;
    Instrument instrument;
    std::deque<Envoi> file{};
    std::uint64_t ligneLibreNs = 0;           // the last byte sent has left the line
    bool attenteEcriture = false;             // the pty is full: wait until it drains
    bool aVider = false;                      // bytes went to the slave since its input was flushed
    std::size_t journalises = 0;              // requests already logged
    bool libre = false;                       // nobody had the slave open at the last look
    bool session = false;                     // requests came since the port was last free
    std::optional<std::uint64_t> regardNs{};  // when to look for a left exclusive mode
    bool vitesseSignalee = false;             // the speeds that differ, logged this session

    // One line: wall clock, seconds since start, then "> request" (C escapes,
    // without its CR LF), "< piece of a reply" (C escapes, as it went on the line,
    // logged once its last byte is out) or "# event".
    void noter(char genre, const std::string& texte) { journal.noter(genre, texte); }

    // Serves until a signal, a hang-up, the end of the one session, or a fault.
    Fin servir();

private:
    bool lire(std::string& octets);
    Fin repondre(std::string_view octets);
    Fin suivreEsclave(bool apresRegard = false);
    Fin portLibre();
    Fin regarder();
    void oublierEvenements();
    void emettre(std::uint64_t maintenant);
    std::optional<std::uint64_t> prochainEnvoi(std::uint64_t maintenant) const;
};

}  // namespace gsicom::sim
