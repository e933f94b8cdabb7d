#include "instrument.hpp"

#include <algorithm>
#include <charconv>

namespace gsicom::sim {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr char kErreur[] = "@W127\r\n";  // GSI Online: unknown request

bool commencePar(std::string_view texte, std::string_view debut)
{
    return texte.substr(0, debut.size()) == debut;
}

// A decimal job position after a JOB request's prefix; false when anything else follows.
bool lirePosition(std::string_view texte, long& position)
{
    if (texte.empty()) {
        return false;
    }
    const char* fin = texte.data() + texte.size();
    const auto [p, erreur] = std::from_chars(texte.data(), fin, position);
    return erreur == std::errc{} && p == fin;
}

}  // namespace

Requete analyserRequete(std::string_view texte)
{
    struct Fixe {
        std::string_view texte;
        TypeRequete type;
    };
    static constexpr Fixe kFixes[] = {
        {"a", TypeRequete::reveil},
        {"c", TypeRequete::efface},
        {"%R1Q,5004:", TypeRequete::nomGeoCom},
        {"CONF/91", TypeRequete::temperature},
        {"FORM/CONF/LIST", TypeRequete::listeFormats},
        {"JOB/CONF/LIST", TypeRequete::listeJobs},
        {"?", TypeRequete::suivante},
        {"FORM/SET/0", TypeRequete::format0},
    };
    for (const Fixe& f : kFixes) {
        if (texte == f.texte) {
            return {f.type};
        }
    }
    struct AvecPosition {
        std::string_view prefixe;
        TypeRequete type;
    };
    static constexpr AvecPosition kAvecPosition[] = {
        {"JOB/RCV/OBSERV/", TypeRequete::recevoirObservations},
        {"JOB/RCV/COORD/", TypeRequete::recevoirCoordonnees},
        {"JOB/ERASE/", TypeRequete::effacerJob},
    };
    for (const AvecPosition& a : kAvecPosition) {
        long position = 0;
        if (commencePar(texte, a.prefixe) &&
            lirePosition(texte.substr(a.prefixe.size()), position)) {
            return {a.type, position};
        }
    }
    if (commencePar(texte, "%R1Q,") && texte.size() > 5 && texte.back() == ':') {
        return {TypeRequete::autreGeoCom};
    }
    return {TypeRequete::inconnue};
}

Instrument::Instrument(Memoire memoire, Pannes pannes)
    : memoire_(std::move(memoire)), pannes_(std::move(pannes))
{
}

std::vector<Morceau> Instrument::recevoir(std::string_view octets, bool lues)
{
    std::vector<Morceau> morceaux;
    for (const char c : octets) {
        if (raccroche_) {
            break;
        }
        if (c != '\n') {
            enCours_ += c;
            continue;
        }
        std::string texte = std::move(enCours_);
        enCours_.clear();
        if (!texte.empty() && texte.back() == '\r') {
            texte.pop_back();
        }
        if (texte.empty()) {
            continue;  // a lone LF before a request is ignored
        }
        requetes_.push_back(texte);
        const long index = static_cast<long>(requetes_.size());
        if (pannes_.raccrocheDes != 0 && index >= pannes_.raccrocheDes) {
            raccroche_ = true;
            break;
        }
        // The memory moves on even when silent. A request it cannot read gets no
        // chosen reply either: neither its rank nor its text reach the instrument.
        std::string reponse = lues ? repondre(texte) : kErreur;
        if (auto it = pannes_.reponseA.find(index); lues && it != pannes_.reponseA.end()) {
            reponse = it->second;
        } else if (auto it = pannes_.reponsePour.find(texte);
                   lues && it != pannes_.reponsePour.end()) {
            reponse = it->second;
        }
        const bool silence = (pannes_.silenceDes != 0 && index >= pannes_.silenceDes) ||
                             pannes_.sansReponse.count(index) != 0;
        if (silence || reponse.empty()) {
            continue;
        }
        if (pannes_.coupure != 0 && reponse.size() > pannes_.coupure) {
            morceaux.push_back({pannes_.delaiMs, reponse.substr(0, pannes_.coupure)});
            morceaux.push_back(
                {pannes_.delaiMs + pannes_.ecartMs, reponse.substr(pannes_.coupure)});
        } else {
            morceaux.push_back({pannes_.delaiMs, std::move(reponse)});
        }
    }
    return morceaux;
}

std::string Instrument::ouvrirListe(const std::vector<std::string>& lignes)
{
    liste_ = &lignes;
    suivante_ = 0;
    return ligneSuivante();
}

std::string Instrument::ligneSuivante()
{
    if (liste_ == nullptr || suivante_ >= liste_->size()) {
        return kMarqueur;
    }
    return (*liste_)[suivante_++] + kCrLf;
}

std::string Instrument::repondre(const std::string& texte)
{
    const Requete requete = analyserRequete(texte);
    const auto job = [&]() -> JobSimule* {
        if (requete.argument < 1 || requete.argument > static_cast<long>(memoire_.jobs.size())) {
            return nullptr;
        }
        JobSimule& j = memoire_.jobs[static_cast<std::size_t>(requete.argument - 1)];
        return j.efface ? nullptr : &j;
    };
    switch (requete.type) {
        case TypeRequete::reveil:
        case TypeRequete::format0: return std::string("?") + kCrLf;
        case TypeRequete::efface: liste_ = nullptr; return std::string("?") + kCrLf;
        case TypeRequete::nomGeoCom: return "%R1P,0,0:0,\"" + memoire_.nom + "\"" + kCrLf;
        case TypeRequete::autreGeoCom: return std::string("%R1P,0,0:5") + kCrLf;
        case TypeRequete::temperature: {
            char texteTemperature[32];
            std::snprintf(texteTemperature, sizeof texteTemperature, "0091/%04d\r\n",
                          memoire_.temperature);
            return texteTemperature;
        }
        case TypeRequete::listeFormats: return ouvrirListe(memoire_.formats);
        case TypeRequete::listeJobs: {
            liste_ = nullptr;  // it may point into an erased job
            std::erase_if(memoire_.jobs, [](const JobSimule& j) { return j.efface; });
            repertoire_.clear();
            for (const JobSimule& j : memoire_.jobs) {
                repertoire_.push_back(j.ligneRepertoire);
            }
            return ouvrirListe(repertoire_);
        }
        case TypeRequete::suivante: return ligneSuivante();
        case TypeRequete::recevoirObservations:
        case TypeRequete::recevoirCoordonnees: {
            const JobSimule* j = job();
            if (j == nullptr) {
                return kErreur;
            }
            return ouvrirListe(requete.type == TypeRequete::recevoirObservations ? j->observations
                                                                                 : j->coordonnees);
        }
        case TypeRequete::effacerJob: {
            JobSimule* j = job();
            if (j == nullptr) {
                return kErreur;
            }
            liste_ = nullptr;  // as after "c"
            j->efface = true;
            return std::string("?") + kCrLf;
        }
        case TypeRequete::inconnue: break;
    }
    return kErreur;
}

std::string brouiller(std::string_view octets, unsigned long vitesseLigne,
                      unsigned long vitesseAppareil)
{
    if (octets.empty() || vitesseLigne == 0 || vitesseAppareil == 0) {
        return {};
    }
    const auto longueur = static_cast<unsigned long long>(octets.size());
    const unsigned long long n = (longueur * vitesseLigne + vitesseAppareil - 1) / vitesseAppareil;
    std::string lus(static_cast<std::size_t>(n), '\0');
    for (unsigned long long rang = 0; rang < n; ++rang) {
        const unsigned long long sous =
            std::min(rang * vitesseAppareil / vitesseLigne, longueur - 1);
        const auto b = static_cast<unsigned char>(octets[static_cast<std::size_t>(sous)]);
        lus[static_cast<std::size_t>(rang)] =
            static_cast<char>(0x80u | ((b + 0x2Bu * rang) & 0x7Fu));
    }
    return lus;
}

}  // namespace gsicom::sim
