// The one application object of the Setup program, alive from before the entry point to exit.
// The download hosts are this build's (see websetup_add_setup_program).
#include "app/setup_app.h"

CSetupApp theApp{CDownloadHosts{WEBSETUP_PRIMARY_HOST, WEBSETUP_SECONDARY_HOST}};
