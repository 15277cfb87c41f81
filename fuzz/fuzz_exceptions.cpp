// Exception files: any bytes must load, stay sorted and serve lookups
// (with the s/m suffix stripped) without a fault.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "synth/regras.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    regras::loadRulesFromText("(C)+= s\n(C)= k\n(A)=a\n(S)= s\n");
    const std::string text(reinterpret_cast<const char*>(data), size);
    regras::loadExceptionsFromText(text);
    if (regras::exceptionCount() > 15000) std::abort();
    static const char* const words[] = {"casa", "casas", "casam", "s", "m", "mmm", "sss", "a"};
    for (const char* w : words) (void)regras::transcribe(w);
    // Every key read back through the transcriber.
    (void)regras::transcribe(text.substr(0, 512));
    return 0;
}
