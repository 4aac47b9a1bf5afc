// The resource DLL's only code: the product asks it for its version.
#include <windows.h>

extern "C" __declspec(dllexport) int qarn_resource_version() { return 121; }
