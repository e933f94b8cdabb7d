// Preloaded into gsicom by the end-to-end tests (LD_PRELOAD): a driver that counts line
// errors (TIOCGICOUNT) as a UART's does, where a pseudo-terminal counts none. It has
// 5 from before the line was set; from its 19th look on, 3 more. gsicom looks once as
// it sets the line and once after each reply: the 19th look follows the reply to
// request 18, the third line of a 4-line job downloaded after a listing of 3 jobs.
#include <asm/ioctls.h>
#include <dlfcn.h>
#include <linux/serial.h>

#include <cstdarg>

extern "C" int ioctl(int fd, unsigned long requete, ...)
{
    va_list arguments;
    va_start(arguments, requete);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (requete == TIOCGICOUNT) {
        static int regards = 0;
        serial_icounter_struct compte{};
        compte.frame = 4;
        compte.brk = 1;
        if (++regards >= 19) {
            compte.frame += 2;
            compte.overrun = 1;
        }
        *static_cast<serial_icounter_struct*>(argument) = compte;
        return 0;
    }
    using Ioctl = int (*)(int, unsigned long, ...);
    static const auto suivant = reinterpret_cast<Ioctl>(::dlsym(RTLD_NEXT, "ioctl"));
    return suivant(fd, requete, argument);
}
