// Rule files: any bytes must load, and transcribing with the rules they
// give must end without a fault.
#include <cstdint>
#include <string>

#include "synth/regras.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    regras::loadRulesFromText(std::string(reinterpret_cast<const char*>(data), size));
    static const char* const texts[] = {
        "casa carro chave", "Conversor de arquivos para formato ZUL", ("a\xE7\xE3o p\xE3o m\xE3" "e"),
        "cds abc123 d'\xE1gua", "#%&*+[\\]_|", "quero aguentar exame texto"};
    for (const char* t : texts) (void)regras::transcribe(t);
    regras::freeRules();
    return 0;
}
