// Linked only into test Setup programs (websetup_add_setup_program ... TEST_CA_FILE): the test
// CA named at build time is trusted before the run starts. The shipped Setup never has it.
#include "download/http_transport.h"

namespace {
[[maybe_unused]] const bool g_testCaTrusted = (TrustCaFileForTesting(WEBSETUP_TEST_CA_FILE), true);
}  // namespace
