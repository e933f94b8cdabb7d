// A whole run of gsicom in-process, in a directory of its own: the operator's answers as a string,
// the simulated instrument and machine, and what came out (console text, standard error, exit code,
// the requests and their times). Each run gets a fresh state and a fresh instrument.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "instrument.hpp"
#include "memoire.hpp"
#include "plateforme_simulee.hpp"

namespace gsicom::test {

// A fresh empty directory as the current one for the life of the object: the run
// writes its export file there.
class RepertoireTemporaire {
public:
    RepertoireTemporaire();
    ~RepertoireTemporaire();
    RepertoireTemporaire(const RepertoireTemporaire&) = delete;
    RepertoireTemporaire& operator=(const RepertoireTemporaire&) = delete;
    std::vector<std::string> fichiers() const;  // names, sorted
    static std::string lire(const std::string& nom);

private:
    std::string chemin_;
    std::string precedent_;
};

class Banc {
public:
    RepertoireTemporaire dossier;  // the run's current directory
    sim::Memoire memoire = sim::memoireDemo();
    sim::Pannes pannes;
    std::function<void(PlateformeSimulee&)> preparer;  // set up the machine before the run

    int lancer(const std::string& reponses);

    std::string sortie;
    std::string erreurs;
    std::unique_ptr<sim::Instrument> instrument;
    std::unique_ptr<PlateformeSimulee> os;

    const std::vector<std::string>& requetes() const { return instrument->requetes(); }
    // The console text after the start screen (from "Scan des ports..." on).
    std::string apresDemarrage() const;
};

// The requests of a run joined with '|', without their CR LF, for readable checks.
std::string enLigne(const std::vector<std::string>& requetes);

}  // namespace gsicom::test
