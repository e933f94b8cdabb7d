// A directory line: the row's name always fits and is NUL-terminated.
#include <cstdlib>

#include "instrument/analyse.hpp"
#include "texte.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string ligne = commeReponse(data, size);
    const gsicom::Job job = gsicom::analyserLigneJob(ligne.c_str());
    if (!(std::memchr(job.nom, '\0', sizeof job.nom) != nullptr)) std::abort();
    return 0;
}
