// Preloaded into Wine by the end-to-end tests (LD_PRELOAD), whose server opens the ports'
// devices: a port whose device does not answer the connection, as Windows' Bluetooth
// stack has a paired device that is off. Opening a path that ends in "/com8" (the
// prefix's link of COM8) waits 2 s, then fails with ETIMEDOUT, which Wine's server gives
// as STATUS_UNSUCCESSFUL (ERROR_GEN_FAILURE); every other open is the system's.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace {

bool sansReponse(const char* chemin)
{
    const std::size_t n = std::strlen(chemin);
    return n >= 5 && std::strcmp(chemin + n - 5, "/com8") == 0;
}

// The system's open (`symbole`) of the path, after the arguments `avant` (openat's
// folder), or the refusal of a device that does not answer.
template <typename... Avant>
int ouvrir(const char* symbole, const char* chemin, int drapeaux, mode_t mode, Avant... avant)
{
    if (sansReponse(chemin)) {
        ::sleep(2);
        errno = ETIMEDOUT;
        return -1;
    }
    using Suivant = int (*)(Avant..., const char*, int, ...);
    const auto suivant = reinterpret_cast<Suivant>(::dlsym(RTLD_NEXT, symbole));
    return suivant(avant..., chemin, drapeaux, mode);
}

}  // namespace

// The mode is there only with O_CREAT or O_TMPFILE.
#define GSICOM_MODE(drapeaux)                        \
    mode_t mode = 0;                                 \
    if (((drapeaux) & (O_CREAT | O_TMPFILE)) != 0) { \
        va_list arguments;                           \
        va_start(arguments, drapeaux);               \
        mode = va_arg(arguments, mode_t);            \
        va_end(arguments);                           \
    }

extern "C" int open(const char* chemin, int drapeaux, ...)
{
    GSICOM_MODE(drapeaux)
    return ouvrir("open", chemin, drapeaux, mode);
}

extern "C" int open64(const char* chemin, int drapeaux, ...)
{
    GSICOM_MODE(drapeaux)
    return ouvrir("open64", chemin, drapeaux, mode);
}

extern "C" int openat(int dossier, const char* chemin, int drapeaux, ...)
{
    GSICOM_MODE(drapeaux)
    return ouvrir("openat", chemin, drapeaux, mode, dossier);
}

extern "C" int openat64(int dossier, const char* chemin, int drapeaux, ...)
{
    GSICOM_MODE(drapeaux)
    return ouvrir("openat64", chemin, drapeaux, mode, dossier);
}
