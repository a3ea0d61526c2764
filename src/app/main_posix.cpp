// Linux entry point: runs the application object.
#include "framework/framework.h"
#include "system/process.h"

int main() { return RunApplication(GetModulePath()); }
