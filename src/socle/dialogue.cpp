#include "socle/dialogue.hpp"

#include "socle/reponse.hpp"

namespace gsicom {

int demander(Etat& e, const char* invite, int preset)
{
    std::fputs(invite, e.out);
    std::fflush(e.out);
    return lireChoix(e.in, preset);
}

void attendre(Etat& e, std::uint32_t millisecondes)
{
    std::fflush(e.out);
    e.os.sleep(millisecondes);
}

}  // namespace gsicom
