// The one application object of the Setup program, alive from before the entry point to exit.
// The download hosts, the URL scheme, the signing key and the lowest serial are this build's (see
// websetup_add_setup_program).
#include "app/setup_app.h"
#include "description/description_signature.h"

CSetupApp theApp{CDownloadHosts{WEBSETUP_PRIMARY_HOST, WEBSETUP_SECONDARY_HOST},
                 CTrustSettings{WEBSETUP_URL_SCHEME, SigningKeyFromHex(WEBSETUP_SIGNING_PUBLIC_KEY_HEX),
                                WEBSETUP_MIN_DESCRIPTION_SERIAL}};
