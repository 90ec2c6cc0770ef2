// The calling thread's last error code, set by the platform layers' failing
// calls and read back with GetLastError.
#pragma once

#include "platform/core/WinTypes.h"

namespace core_detail {
inline thread_local DWORD lastError = 0;
}

inline DWORD GetLastError() { return core_detail::lastError; }
inline void SetLastError(DWORD code) { core_detail::lastError = code; }

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
