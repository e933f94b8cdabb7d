// The ports said by what they are, on standard error: the operator who sees COM 3 to
// COM 6 listed learns which is the adapter, the PC's own port or a Bluetooth link, and
// which Bluetooth port to choose. The words only: the scan (serial/liaison.cpp) says
// when, from the platform's Platform::describePorts.
#pragma once

#include <string>
#include <vector>

#include "plateforme/plateforme.hpp"

namespace gsicom {

// The description of COMn among those read, or nullptr.
const PortDescription* descriptionDuPort(const std::vector<PortDescription>& ports, int numero);

// "COM3 : \"FT232R USB UART\", USB 0403:6001": what the listed port `numero` is (`nom`
// names it as the operator's messages do), without its newline; empty when nothing is
// known of it. `listes` marks the ports the scan listed, so that the incoming Bluetooth
// port names the outgoing one to choose instead.
std::string direPortListe(const std::vector<PortDescription>& ports, const std::vector<int>& listes,
                          int numero, const std::string& nom);

// Said before an outgoing Bluetooth port is opened, which may take seconds when its
// device is off: "COM5 : connexion Bluetooth a \"TS16\"...".
std::string annonceConnexion(const PortDescription& port, const std::string& nom);

// The outgoing Bluetooth port whose device did not answer the connection.
std::string connexionSansReponse(const PortDescription& port, const std::string& nom);

// The incoming Bluetooth port chosen, which no instrument answers: what to choose instead.
std::string portEntrantChoisi(const std::vector<PortDescription>& ports, const std::string& nom);

}  // namespace gsicom
