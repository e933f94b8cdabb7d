#include "plateforme/linux/prise.hpp"

#include <sys/file.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "plateforme/linux/fins.hpp"
#include "plateforme/linux/refus.hpp"

namespace gsicom {

// Held: its flock taken, its exclusive mode already set (root is not kept out by it),
// or open in another process that asks for neither. Our own mode is set before that
// last look, so that no program but root's can slip in after it.
bool prendrePort(int fd, dev_t rdev, const char* com, const std::string& chemin,
                 std::string& pourquoi)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        pourquoi = messageOccupe(com, chemin, chercherDetenteur(rdev));
        return false;
    }
    int exclusif = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusif) == 0 && exclusif != 0) {
        pourquoi = messageExclusif(com, chemin, rdev);
        return false;
    }
    retenirExclusif(fd);  // before the mode, so that no signal can leave it set
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int erreur = errno;
        retenirExclusif(-1);
        pourquoi = messageErreurSysteme(com, chemin, erreur);
        return false;
    }
    if (const Detenteur d = chercherDetenteur(rdev); d.pid != 0) {
        lacherPort(fd);
        pourquoi = messageOccupe(com, chemin, d);
        return false;
    }
    return true;
}

// The mode outlives the descriptor while anyone else holds the tty: cleared, or the
// next open by a user other than root would fail. Forgotten by the handler only after:
// a signal in between clears it once more, harmlessly.
void lacherPort(int fd)
{
    ::ioctl(fd, TIOCNXCL);
    retenirExclusif(-1);
}

}  // namespace gsicom
