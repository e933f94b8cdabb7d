// gsicom: copies the jobs of a Leica total station over a serial line into GSI files,
// and erases them from the instrument on request. No arguments, no configuration:
// every choice is made at a prompt.
#include <cstdio>

#include "console/deroulement.hpp"

int main()
{
    const auto platform = gsicom::makeSystemPlatform();
    gsicom::Etat etat(*platform, stdin, stdout, stderr);
    return gsicom::executer(etat);
}
