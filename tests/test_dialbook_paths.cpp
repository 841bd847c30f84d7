// Puts the library on the paths a machine would not take by itself, for every test of this program:
// the code built without SSE2 (blocks scanned with 64-bit words, searches without asking for memory
// ahead), and segments of a few records or bytes each, so that the differential tests cross segment
// ends all the time.
#include <gtest/gtest.h>

#include "library_switches.h"

namespace {

class ForcedPaths : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_switches.no_sse2 = 1;
        g_switches.segment_text_max = 2048;
        g_switches.segment_records_max = 40;
    }
};

::testing::Environment *const kForcedPaths = ::testing::AddGlobalTestEnvironment(new ForcedPaths);

} // namespace
