// How gsicom's memory and CPU time behave as a job grows: whole runs (directory,
// download of one job, leave) against the simulator core on virtual time, one child
// process per job size so that each peak is its own. The simulator's job is built
// before the first measure; what grows after it is the program's.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "banc.hpp"

namespace {

long picMemoireKio()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void mesurer(int lignes)
{
    gsicom::test::Banc banc;
    banc.memoire.jobs = {gsicom::sim::genererJob("GRAND", 1, lignes - 1, 42)};
    const long avant = picMemoireKio();
    const double debutCpu = cpuMs();
    const int code = banc.lancer("1\n2\n1\n1\n1\n");
    const double cpu = cpuMs() - debutCpu;
    const long apres = picMemoireKio();
    const std::string fichier = banc.dossier.fichiers().empty() ? "" : banc.dossier.fichiers()[0];
    std::printf(
        "%8d lines  code %d  virtual %9.1f s  cpu %8.1f ms  peak RSS %6ld KiB -> %6ld KiB "
        "(+%ld KiB)  file %zu bytes\n",
        lignes, code, static_cast<double>(banc.os->maintenant) / 1000.0, cpu, avant, apres,
        apres - avant, gsicom::test::RepertoireTemporaire::lire(fichier).size());
    std::fflush(stdout);
}

}  // namespace

int main()
{
    std::printf("gsicom on virtual time: one job downloaded, simulator core in-process\n");
    std::fflush(stdout);  // not again in every child
    for (const int lignes : {1000, 10000, 100000}) {
        const pid_t enfant = fork();
        if (enfant == 0) {
            mesurer(lignes);
            _exit(0);
        }
        int statut = 0;
        waitpid(enfant, &statut, 0);
    }
    return 0;
}
