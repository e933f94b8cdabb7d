// The simulated total station: the core of gsicom-sim, also linked in-process by the
// tests. It takes the bytes the program writes, cuts them into CR LF requests, and
// answers each one as the instrument does, with the faults a real line produces
// injected on request. It knows nothing of time or ports: each reply comes as pieces
// with delays, which the pty front end or the tests' virtual clock play out.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace gsicom::sim {

inline constexpr char kMarqueur[] = "\x1A\r\n";  // end of data

struct JobSimule {
    std::string ligneRepertoire;            // "NAME,no,points,blocks" as listed, without CR LF
    std::vector<std::string> observations;  // GSI lines, without CR LF
    std::vector<std::string> coordonnees;
    // Erased, and gone from the next listing on. Until then the positions stay those of
    // the listing the program read: "erase all" asks 1, 2, 3... of one table.
    bool efface = false;
};

struct Memoire {
    std::string nom = "TS-SIM 30";
    int temperature = 23;
    std::vector<std::string> formats = {"0,GSI8", "1,GSI16"};
    std::vector<JobSimule> jobs;
};

// Faults, by the 1-based index of the request they hit (every request counts,
// "a" and "c" included), or by the request's text without CR LF.
struct Pannes {
    long silenceDes = 0;                   // no reply from this request on (switched off); 0: never
    std::set<long> sansReponse;            // no reply to these requests
    std::uint32_t delaiMs = 0;             // every reply starts this late
    std::size_t coupure = 0;               // replies longer than this are sent in two pieces...
    std::uint32_t ecartMs = 0;             // ...this far apart
    std::map<long, std::string> reponseA;  // this reply (CR LF included) to request N
    std::map<std::string, std::string> reponsePour;  // this reply to every such request
    long raccrocheDes = 0;  // the line goes away when this request arrives; 0: never
};

struct Morceau {
    std::uint32_t delaiMs;  // after the request's last byte
    std::string octets;
};

enum class TypeRequete {
    reveil,
    efface,
    nomGeoCom,
    autreGeoCom,
    temperature,
    listeFormats,
    listeJobs,
    suivante,
    format0,
    recevoirObservations,
    recevoirCoordonnees,
    effacerJob,
    inconnue
};

struct Requete {
    TypeRequete type;
    long argument = 0;  // the job position of the JOB requests
};

// What a request (without its CR LF) asks for. Total on any text.
Requete analyserRequete(std::string_view texte);

class Instrument {
public:
    explicit Instrument(Memoire memoire, Pannes pannes = {});

    // Bytes the program wrote. Returns, for each request they complete, the pieces
    // of its reply; nothing once the line has hung up. Bytes sent at a speed other
    // than the instrument's (lues false) make requests it cannot read: each one is
    // still logged, and answered as an unknown request, and the memory stays as it is.
    std::vector<Morceau> recevoir(std::string_view octets, bool lues = true);

    bool raccroche() const { return raccroche_; }
    const std::vector<std::string>& requetes() const { return requetes_; }
    const Memoire& memoire() const { return memoire_; }

private:
    std::string repondre(const std::string& requete);
    std::string ouvrirListe(const std::vector<std::string>& lignes);
    std::string ligneSuivante();  // of the listing under way, or the marker

    Memoire memoire_;
    Pannes pannes_;
    std::string enCours_;  // bytes of a request not yet ended by LF
    std::vector<std::string> requetes_;
    std::vector<std::string> repertoire_;  // the directory as last listed
    // The listing or transfer under way, never copied: a job of 100,000 lines costs
    // no second copy. Null when nothing is under way.
    const std::vector<std::string>* liste_ = nullptr;
    std::size_t suivante_ = 0;
    bool raccroche_ = false;
};

// What a UART at vitesseLigne baud reads of bytes sent at vitesseAppareil: as many
// bytes as fit in the time the instrument took to send them (at least one), each
// with its high bit set over the instrument's byte under it, mixed with its rank:
// 0x80 | ((b + 0x2B * rank) & 0x7F). A fixed garbling, not the line's physics: no
// byte of it is printable ASCII, CR, LF, NUL or the end-of-data marker, so no name,
// line or marker can ever be read out of it.
std::string brouiller(std::string_view octets, unsigned long vitesseLigne,
                      unsigned long vitesseAppareil);

}  // namespace gsicom::sim
