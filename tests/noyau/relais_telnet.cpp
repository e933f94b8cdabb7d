// relais_telnet SOCKET PTY N: joins the guest's 16550A, behind QEMU's telnet chardev on
// the unix socket SOCKET, to gsicom-sim's pty PTY, and sends a telnet BREAK (IAC 243),
// which QEMU turns into a break on the UART's line, just after the guest's N-th request
// (N-th LF) has reached the pty: the break then comes while the guest waits for the
// reply. Ends when QEMU closes the socket or the pty hangs up.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr unsigned char kIac = 255;
constexpr unsigned char kBreak = 243;

bool ecrireTout(int fd, const std::string& octets)
{
    for (std::size_t fait = 0; fait < octets.size();) {
        const ssize_t n = ::write(fd, octets.data() + fait, octets.size() - fait);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        fait += std::size_t(n);
    }
    return true;
}

// QEMU's server opens with its option offers (IAC WILL/DO x, three bytes each), then
// passes the guest's bytes as they are: it doubles no IAC of theirs.
class Entree {
public:
    std::string decoder(const char* lus, std::size_t n)
    {
        std::string donnees;
        for (std::size_t i = 0; i < n; ++i) {
            const auto c = static_cast<unsigned char>(lus[i]);
            if (aSauter > 0) {
                --aSauter;
            } else if (negociation && c == kIac) {
                aSauter = 2;
            } else {
                negociation = false;
                donnees += char(c);
            }
        }
        return donnees;
    }

private:
    bool negociation = true;
    int aSauter = 0;
};

// Toward QEMU, a data byte 255 is doubled, or QEMU would take it for a command.
std::string echapper(const char* lus, std::size_t n)
{
    std::string sortie;
    for (std::size_t i = 0; i < n; ++i) {
        sortie += lus[i];
        if (static_cast<unsigned char>(lus[i]) == kIac) sortie += char(kIac);
    }
    return sortie;
}

int connecter(const char* chemin)
{
    sockaddr_un adresse{};
    adresse.sun_family = AF_UNIX;
    if (std::strlen(chemin) >= sizeof adresse.sun_path) return -1;
    std::strcpy(adresse.sun_path, chemin);
    for (int essai = 0; essai < 200; ++essai) {  // QEMU may still be starting: 20 s
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&adresse), sizeof adresse) == 0) return fd;
        ::close(fd);
        ::usleep(100000);
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: relais_telnet SOCKET PTY N\n");
        return 2;
    }
    const long apres = std::strtol(argv[3], nullptr, 10);
    const int prise = connecter(argv[1]);
    if (prise < 0) {
        std::fprintf(stderr, "relais_telnet: no QEMU on %s\n", argv[1]);
        return 1;
    }
    const int pty = ::open(argv[2], O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty < 0) {
        std::fprintf(stderr, "relais_telnet: %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    Entree entree;
    long requetes = 0;
    char lus[4096];
    for (;;) {
        pollfd f[2] = {{prise, POLLIN, 0}, {pty, POLLIN, 0}};
        if (::poll(f, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return 1;
        }
        if (f[0].revents != 0) {
            const ssize_t n = ::read(prise, lus, sizeof lus);
            if (n <= 0) return 0;  // QEMU has ended
            const std::string donnees = entree.decoder(lus, std::size_t(n));
            if (!ecrireTout(pty, donnees)) return 1;
            for (const char c : donnees) {
                if (c == '\n' && ++requetes == apres) {
                    std::fprintf(stderr, "relais_telnet: break after request %ld\n", requetes);
                    if (!ecrireTout(prise, {char(kIac), char(kBreak)})) return 1;
                }
            }
        }
        if (f[1].revents != 0) {
            const ssize_t n = ::read(pty, lus, sizeof lus);
            if (n <= 0) return n == 0 || errno == EIO ? 0 : 1;  // the simulator has ended
            if (!ecrireTout(prise, echapper(lus, std::size_t(n)))) return 1;
        }
    }
}
