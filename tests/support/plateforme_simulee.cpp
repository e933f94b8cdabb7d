#include "plateforme_simulee.hpp"

#include <algorithm>
#include <cerrno>
#include <optional>

#include "serial/delai.hpp"

namespace gsicom::test {

class PortSimule final : public SerialPort {
public:
    PortSimule(PlateformeSimulee& os, bool relie) : os_(os), relie_(relie) { ++os_.portsOuverts; }
    ~PortSimule() override { --os_.portsOuverts; }
    PortSimule(const PortSimule&) = delete;
    PortSimule& operator=(const PortSimule&) = delete;

    bool getCommState(LineSettings& settings) override
    {
        settings = os_.reglages;
        return !os_.echecGetCommState;
    }
    bool setCommState(const LineSettings& settings) override
    {
        if (os_.echecSetCommState) {
            return false;
        }
        os_.reglages = settings;
        return true;
    }
    bool setCommTimeouts(const CommTimeouts& timeouts) override
    {
        os_.delais = timeouts;
        return true;
    }

    bool writeFile(const char* data, std::uint32_t size, std::uint32_t& written) override
    {
        written = 0;
        if (relie_ && os_.instrument_.raccroche()) {
            disparu_ = true;
            return false;
        }
        os_.ecritures.push_back({os_.maintenant, std::string(data, size)});
        written = size;
        if (!relie_) {
            return true;
        }
        // A line keeps its order: a byte never arrives before the one sent ahead of it.
        for (const sim::Morceau& m : os_.instrument_.recevoir(std::string_view(data, size))) {
            for (const char c : m.octets) {
                std::uint64_t t = os_.maintenant + m.delaiMs;
                if (!arrivees_.empty()) {
                    t = std::max(t, arrivees_.back().ms);
                }
                arrivees_.push_back({t, c});
            }
        }
        return true;
    }

    bool readFile(char* data, std::uint32_t size, std::uint32_t& read) override
    {
        read = 0;
        ++lectures_;
        if (relie_ && os_.instrument_.raccroche()) {
            arrivees_.clear();
            disparu_ = true;
            return false;  // the line has gone away: at once, no wait
        }
        const DebutLecture lecture{os_.maintenant, size};
        std::optional<std::uint64_t> dernier;
        while (read < size) {
            const std::uint64_t fin = finDeLecture(os_.delais, lecture, dernier);
            if (arrivees_.empty() || arrivees_.front().ms > fin) {
                os_.maintenant = fin == kJamais ? os_.maintenant : fin;
                return true;
            }
            const std::uint64_t t = std::max(arrivees_.front().ms, lecture.debutMs);
            data[read++] = arrivees_.front().octet;
            arrivees_.pop_front();
            dernier = t;
        }
        os_.maintenant = *dernier;
        return true;
    }

    std::optional<std::uint32_t> lineErrors() override
    {
        if (!os_.erreursDeLigne) {
            return std::nullopt;
        }
        std::uint32_t total = 0;
        for (const auto& [lecture, erreurs] : *os_.erreursDeLigne) {
            total += lecture <= lectures_ ? erreurs : 0;
        }
        return total;
    }
    LineErrorFigure lineErrorFigure() const override { return os_.figureErreurs; }
    bool vanished() const override { return disparu_; }

private:
    struct Arrivee {
        std::uint64_t ms;
        char octet;
    };
    PlateformeSimulee& os_;
    bool relie_;
    std::deque<Arrivee> arrivees_;
    long lectures_ = 0;
    bool disparu_ = false;
};

std::unique_ptr<SerialPort> PlateformeSimulee::openPort(const char* devicePath,
                                                        std::string& pourquoi)
{
    pourquoi.clear();
    sansReponse_ = false;
    ouvertures.emplace_back(devicePath);
    constexpr std::size_t kOuverturesDuScan = 30;
    if (echecOuvertureChoisie && ouvertures.size() > kOuverturesDuScan) {
        return nullptr;
    }
    for (const auto& [numero, ms] : ouverturesSansReponse) {
        if (std::string("\\\\.\\COM") + std::to_string(numero) == devicePath) {
            maintenant += ms;
            sansReponse_ = true;
            pourquoi = std::string(devicePath + 4) + " : sans reponse";
            return nullptr;
        }
    }
    for (const int numero : portsPresents) {
        if (std::string("\\\\.\\COM") + std::to_string(numero) == devicePath) {
            if (portsOccupes.count(numero) != 0) {
                pourquoi = std::string(devicePath + 4) + " : occupe";
                return nullptr;
            }
            return std::make_unique<PortSimule>(*this, numero == portInstrument);
        }
    }
    return nullptr;
}

bool PlateformeSimulee::flushToDisk(std::FILE* f)
{
    if (std::fflush(f) != 0) {
        return false;
    }
    errno = erreurDisque;
    return erreurDisque == 0;
}

std::tm PlateformeSimulee::heureParDefaut()
{
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;  // December
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    return t;
}

}  // namespace gsicom::test
