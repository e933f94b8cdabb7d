// This kernel's module index, as depmod makes it beside the modules: modules.alias says
// which module's driver takes a device (by its modalias), modules.dep where each module
// lies, so which of them are serial drivers; the drivers built into the kernel have
// theirs in modules.builtin and modules.builtin.alias (else modules.builtin.modinfo).
// Read once, at the first question.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gsicom {

class IndexDesModules {
public:
    // `dossier`: the kernel's module folder; /lib/modules/$(uname -r) when empty.
    explicit IndexDesModules(std::string dossier);
    IndexDesModules(const IndexDesModules&) = delete;  // its aliases are views of its text
    IndexDesModules& operator=(const IndexDesModules&) = delete;
    // The kernel's version, as the folder is named.
    std::string version() const;
    // Whether modules.alias could be read: where not, no module is named.
    bool lisible();
    // The module of a serial driver (one under drivers/usb/serial/, or cdc-acm) whose
    // alias matches the USB interface's modalias; empty for none. One under
    // drivers/usb/serial/ before cdc-acm: cdc-acm's aliases include the devices it
    // leaves to them on purpose (its ignore list), which the index cannot show.
    std::string moduleSerie(const std::string& modalias);
    // Whether the alias of any module of this kernel matches it.
    bool connu(const std::string& modalias);
    // Whether the module is a serial driver of this kernel, and whether it is built in.
    bool serie(const std::string& module);
    bool integre(const std::string& module);
    // Where the folder is gone, the version of another kernel's folder standing beside
    // it: the kernel was upgraded under the running one. Empty otherwise.
    std::string remplacant() const;

private:
    void lire();
    std::string dossier_;
    std::optional<bool> lisible_;
    void lireIntegres();
    void garderAlias(std::string_view texte);
    std::unique_ptr<char[]> texte_, texteIntegre_;  // modules.alias, the built-ins' aliases
    std::vector<std::pair<std::string_view, std::string_view>> alias_;  // "usb:v0403p...", module
    std::set<std::string> series_, integres_;
};

}  // namespace gsicom
