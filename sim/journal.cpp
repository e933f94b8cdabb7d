// The simulator's log: see journal.hpp.
#include "journal.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>

namespace gsicom::sim {

std::uint64_t nowNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return std::uint64_t(t.tv_sec) * 1000000000u + std::uint64_t(t.tv_nsec);
}

// O_NONBLOCK is set on a description of our own, opened anew through /proc: set on
// the one we were given, it would reach every program that shares it (the shell on
// the same terminal, the other writers to the same pipe). A socket cannot be opened
// so: it is written in pieces of PIPE_BUF, each only once poll says it can take one.
Journal::Journal(int fd, std::uint64_t debutNs) : fd_(fd), sortie_(fd), debutNs_(debutNs)
{
    struct stat s {};
    fichier_ = ::fstat(fd, &s) == 0 && S_ISREG(s.st_mode);
    bloquante_ = false;
    if (fichier_) return;
    const int copie = ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(),
                             O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (copie >= 0) {
        sortie_ = copie;
    } else {
        bloquante_ = true;
    }
}

Journal::~Journal()
{
    vider();  // what the output takes now; the rest is lost with the run
    if (sortie_ != fd_) ::close(sortie_);
}

std::string Journal::ligne(char genre, std::string_view texte) const
{
    timespec mur{};
    ::clock_gettime(CLOCK_REALTIME, &mur);
    std::tm t{};
    ::localtime_r(&mur.tv_sec, &t);
    const unsigned long long ms = (nowNs() - debutNs_) / 1000000u;
    char tete[48];
    std::snprintf(tete, sizeof tete, "%02d:%02d:%02d.%03ld %6llu.%03llu %c ", t.tm_hour, t.tm_min,
                  t.tm_sec, mur.tv_nsec / 1000000, ms / 1000, ms % 1000, genre);
    std::string l(tete);
    l.append(texte);
    l += '\n';
    return l;
}

void Journal::noter(char genre, std::string_view texte)
{
    const auto place = [this](std::size_t taille) {
        return fichier_ || tampon_.size() - debut_ + taille <= kEnAttenteMax;
    };
    if (perdues_ > 0) {
        std::string note = ligne('#', std::to_string(perdues_) +
                                          " ligne(s) du journal perdue(s) : sa sortie ne les "
                                          "prenait pas assez vite");
        if (place(note.size())) {
            tampon_ += note;
            perdues_ = 0;
        }
    }
    std::string l = ligne(genre, texte);
    if (perdues_ > 0 || !place(l.size())) {  // after the count, never before it
        ++perdues_;
        return;
    }
    tampon_ += l;
    vider();
}

int Journal::attente() const
{
    return debut_ < tampon_.size() ? sortie_ : -1;
}

void Journal::vider()
{
    while (debut_ < tampon_.size()) {
        std::size_t n = tampon_.size() - debut_;
        if (bloquante_) {
            pollfd p{sortie_, POLLOUT, 0};
            if (::poll(&p, 1, 0) != 1 || (p.revents & POLLOUT) == 0) break;
            n = std::min<std::size_t>(n, PIPE_BUF);
        }
        const ssize_t e = ::write(sortie_, tampon_.data() + debut_, n);
        if (e < 0 && errno == EINTR) continue;
        if (e < 0 && errno != EAGAIN) {  // a reader gone, a disk full: nothing more goes
            debut_ = tampon_.size();
        }
        if (e <= 0) break;
        debut_ += std::size_t(e);
    }
    if (debut_ == tampon_.size()) {
        tampon_.clear();
        debut_ = 0;
    } else if (debut_ >= kEnAttenteMax / 2) {  // no buffer that only grows
        tampon_.erase(0, debut_);
        debut_ = 0;
    }
}

}  // namespace gsicom::sim
