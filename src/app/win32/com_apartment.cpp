#include "app/win32/com_apartment.h"

#include <objbase.h>

namespace corvane {

// S_FALSE (already initialised on this thread) must be balanced too; a failure must not be.
bool Win32ComApartment::Enter() { return SUCCEEDED(CoInitialize(nullptr)); }

void Win32ComApartment::Leave() { CoUninitialize(); }

}  // namespace corvane
