// The libFuzzer entry of one target; VORLIX_FUZZ_BODY names its body.
#include "tests/fuzz/FuzzTargets.h"

#include <QCoreApplication>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Some of the code under test expects an application object.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    VORLIX_FUZZ_BODY(data, size);
    return 0;
}
