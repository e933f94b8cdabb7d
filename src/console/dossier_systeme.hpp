// Whether the current folder lies inside the system's temporary folder, on the system
// gsicom was built for (dossier_windows.cpp or dossier_linux.cpp): what the platform
// answers to temporaryCurrentFolder.
#pragma once

#include "serial/plateforme.hpp"

namespace gsicom {

DossierTemporaire dossierCourantTemporaire();

}  // namespace gsicom
