// Preloaded into gsicom by the end-to-end tests (LD_PRELOAD): every fsync fails with
// EIO, as when the disk or the USB stick fails to take what sits in the cache.
#include <cerrno>

extern "C" int fsync(int)
{
    errno = EIO;
    return -1;
}
