// The simulator's serving loop on its pty: see serveur.hpp.
#include "serveur.hpp"

#include <poll.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace gsicom::sim {

// Every byte the program wrote, if any; false when the pty cannot be read. What it
// wrote before closing the slave is still read; then the master gives EIO until the
// slave is opened again, which is no fault.
bool Serveur::lire(std::string& octets)
{
    char lus[4096];
    for (;;) {
        const ssize_t n = ::read(pty.master, lus, sizeof lus);
        if (n > 0) {
            octets.append(lus, std::size_t(n));
        } else if (n == 0 || errno == EAGAIN || errno == EIO) {
            return true;
        } else if (errno != EINTR) {
            noter('#', std::string("lecture du pty impossible : ") + std::strerror(errno));
            return false;
        }
    }
}

// Bytes sent at another speed than the instrument's reach it as noise: it reads no
// request, and its replies reach the program as noise too.
Fin Serveur::repondre(std::string_view octets)
{
    const std::uint64_t maintenant = nowNs();
    const auto ligne = vitesseLigne(pty.master);
    const auto appareil = static_cast<std::uint64_t>(options.vitesse);
    const bool lues = appareil == 0 || appareil == ligne;
    if (!lues && !vitesseSignalee) {
        noter('#', "vitesse de la ligne " + std::to_string(ligne) + " bauds, appareil a " +
                       std::to_string(appareil) + " : rien n est compris");
        vitesseSignalee = true;
    }
    const auto morceaux = instrument.recevoir(octets, lues);
    for (const auto& requetes = instrument.requetes(); journalises < requetes.size();) {
        noter('>', echapper(requetes[journalises++]));
        session = true;
    }
    if (instrument.raccroche()) {
        noter('#', "raccroche : la ligne est coupee");
        return Fin::arret;
    }
    if (libre) return Fin::continuer;  // written, then closed at once: nobody hears
    for (std::size_t i = 0; i < morceaux.size(); ++i) {
        // The pieces of one reply come with rising delays; the next reply starts low.
        const std::uint32_t avant = i > 0 ? morceaux[i - 1].delaiMs : UINT32_MAX;
        const std::uint32_t d = morceaux[i].delaiMs;
        file.push_back(
            {maintenant + d * 1000000ull, (d > avant ? d - avant : 0) * 1000000ull,
             lues ? morceaux[i].octets : brouiller(morceaux[i].octets, ligne, appareil)});
    }
    return Fin::continuer;
}

// Something opened or closed the slave, or the master has news. Who holds the slave
// is asked of the master, never counted from inotify, which merges an event with an
// identical one still unread. Free is looked at before the bytes are read: what a
// program wrote before its last close is then read now, and heard by nobody.
// After the look for a left exclusive mode, whose own open and close are no news,
// a port found free arms no other look, unless a program talked meanwhile.
Fin Serveur::suivreEsclave(bool apresRegard)
{
    oublierEvenements();
    libre = esclaveLibre(pty.master);
    std::string octets;
    if (!lire(octets)) return Fin::erreur;
    if (!octets.empty()) {
        if (const Fin f = repondre(octets); f != Fin::continuer) return f;
    }
    if (!libre) {
        regardNs.reset();
        return Fin::continuer;
    }
    // The look opens the slave: only once nobody has touched the port for a while,
    // so that the program whose port scan has just closed it does not find the
    // simulator on it at its real open.
    if (!apresRegard || session) regardNs = nowNs() + 300000000u;
    return portLibre();
}

// The inotify events read so far say only that something happened: the master is
// asked who holds the slave.
void Serveur::oublierEvenements()
{
    alignas(inotify_event) char evenements[4096];
    while (::read(inotify, evenements, sizeof evenements) > 0) {
    }
}

// Nobody holds the port. What was still coming is lost, as on a real port that nobody
// holds open: the queue here, and the bytes sent that it did not read, which the slave
// would keep for the next open. On the master, TCOFLUSH drops those the slave's line
// discipline has not taken yet, and a TCSAFLUSH of the slave's own settings those it
// holds. Only after bytes went out: a TCSAFLUSH late after the port scan's close would
// undo the speed the program has just set.
Fin Serveur::portLibre()
{
    file.clear();
    attenteEcriture = false;
    termios t{};
    if (aVider && ::tcflush(pty.master, TCOFLUSH) == 0 && ::tcgetattr(pty.master, &t) == 0) {
        ::tcsetattr(pty.master, TCSAFLUSH, &t);
    }
    aVider = false;
    vitesseSignalee = false;
    if (!session) return Fin::continuer;
    session = false;
    noter('#', "port ferme par le programme");
    return options.uneSession ? Fin::arret : Fin::continuer;
}

// A program that ends as it should clears its own exclusive mode; one killed leaves
// it, and it would refuse the port to every later run. TIOCNXCL on the master would
// act on the master's own tty: the slave is opened for it. A program may open the
// port between the last look at the master and the look: the master is asked again
// after it, and whoever holds the port is served. A mode that refused the look is
// then that program's own.
Fin Serveur::regarder()
{
    if (!esclaveLibre(pty.master)) return Fin::continuer;  // its open's event is on its way
    int erreur = 0;
    const Exclusif trouve = effacerExclusifLaisse(pty.path, erreur);
    switch (trouve) {
        case Exclusif::absent:
        case Exclusif::tenu: break;
        case Exclusif::efface:
            noter('#', "mode exclusif laisse par un programme termine : efface");
            break;
        case Exclusif::bloque:
            if (!esclaveLibre(pty.master)) break;
            noter('#',
                  "mode exclusif laisse par un programme termine : impossible a effacer "
                  "sans etre root, le port reste refuse : relancez gsicom-sim");
            break;
        case Exclusif::inconnu:
            noter('#', std::string("mode exclusif du port libre non verifie : ") +
                           std::strerror(erreur));
            break;
    }
    return suivreEsclave(true);
}

// Writes what is due by now: at the line's pace, or whole pieces without it.
void Serveur::emettre(std::uint64_t maintenant)
{
    while (!file.empty() && !attenteEcriture) {
        Envoi& e = file.front();
        if (!e.commence) {
            const std::uint64_t debut = std::max(e.prevuNs, ligneLibreNs + e.ecartNs);
            if (maintenant < debut) return;
            e.commence = true;
            e.debutNs = debut;
            e.parOctetNs = options.cadence ? byteNs(pty.master) : 0;
        }
        std::size_t dus = e.octets.size();
        if (e.parOctetNs != 0) {
            dus = std::min<std::uint64_t>(dus, (maintenant - e.debutNs) / e.parOctetNs + 1);
        }
        const ssize_t n = ::write(pty.master, e.octets.data() + e.envoyes, dus - e.envoyes);
        if (n < 0 && errno == EAGAIN) {
            attenteEcriture = true;
            return;
        }
        e.envoyes += n > 0 ? std::size_t(n) : 0;
        aVider = aVider || n > 0;
        if (n < 0) noter('#', std::string("ecriture perdue : ") + std::strerror(errno));
        if (n >= 0 && e.envoyes < e.octets.size()) return;
        if (n >= 0) noter('<', echapper(e.octets));
        ligneLibreNs = e.parOctetNs ? e.debutNs + e.octets.size() * e.parOctetNs : maintenant;
        file.pop_front();
    }
}

std::optional<std::uint64_t> Serveur::prochainEnvoi(std::uint64_t maintenant) const
{
    if (file.empty() || attenteEcriture) return std::nullopt;
    const Envoi& e = file.front();
    if (!e.commence) return std::max({maintenant, e.prevuNs, ligneLibreNs + e.ecartNs});
    return std::max(maintenant, e.debutNs + e.envoyes * e.parOctetNs);
}

Fin Serveur::servir()
{
    for (;;) {
        const std::uint64_t maintenant = nowNs();
        // The master only while someone may hold the slave: once nobody does, it
        // reports POLLHUP at every poll. The next open wakes us through inotify.
        pollfd fds[4] = {
            {libre ? -1 : pty.master, short(POLLIN | (attenteEcriture ? POLLOUT : 0)), 0},
            {inotify, POLLIN, 0},
            {signaux, POLLIN, 0},
            {journal.attente(), POLLOUT, 0}};
        auto reveil = prochainEnvoi(maintenant);
        if (regardNs) {
            reveil = std::min(reveil.value_or(UINT64_MAX), std::max(*regardNs, maintenant));
        }
        const std::uint64_t ns = reveil ? *reveil - maintenant : 0;
        const timespec attente{time_t(ns / 1000000000u), long(ns % 1000000000u)};
        if (::ppoll(fds, 4, reveil ? &attente : nullptr, nullptr) < 0 && errno != EINTR) {
            return Fin::erreur;
        }
        if (fds[3].revents != 0) journal.vider();
        if (fds[2].revents != 0) {
            noter('#', "arret sur signal");
            return Fin::arret;
        }
        if (fds[0].revents & POLLOUT) attenteEcriture = false;
        if ((fds[0].revents & ~POLLOUT) != 0 || fds[1].revents != 0) {
            if (const Fin f = suivreEsclave(); f != Fin::continuer) return f;
        }
        if (regardNs && nowNs() >= *regardNs) {
            regardNs.reset();
            if (const Fin f = regarder(); f != Fin::continuer) return f;
        }
        emettre(nowNs());
    }
}

}  // namespace gsicom::sim
