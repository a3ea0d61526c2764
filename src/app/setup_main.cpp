// The one application object of the Setup program, alive from before the entry point to exit.
#include "app/setup_app.h"

CSetupApp theApp;
