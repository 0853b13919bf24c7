// libFuzzer's entry point for one target; TERVO_FUZZ_FUNCTION names it (see CMakeLists.txt).
#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tervo::fuzz::TERVO_FUZZ_FUNCTION(data, size);
    return 0;
}
