// Whether the current folder lies inside the system's temporary folder, on the system
// gsicom was built for (windows/dossier.cpp or linux/dossier.cpp): what the platform
// answers to temporaryCurrentFolder.
#pragma once

#include "plateforme/plateforme.hpp"

namespace gsicom {

DossierTemporaire dossierCourantTemporaire();

}  // namespace gsicom
