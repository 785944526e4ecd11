// The calling thread's last error code, kept in the one stand-in library that the host and every
// module share.
#include "windows.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

}  // namespace

DWORD GetLastError(void) { return lastError; }

void SetLastError(DWORD errorCode) { lastError = errorCode; }
