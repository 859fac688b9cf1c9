#pragma once
// Windows result codes (GetLastError / LSTATUS) with their Windows values. The
// host layer reports its failures with them; the machine layer takes them over.

#include <cstdint>

namespace veldan::host::win {

// A Windows result code. ERROR_SUCCESS is 0.
using WinError = std::uint32_t;

inline constexpr WinError ERROR_SUCCESS = 0;
inline constexpr WinError ERROR_INVALID_FUNCTION = 1;
inline constexpr WinError ERROR_FILE_NOT_FOUND = 2;
inline constexpr WinError ERROR_PATH_NOT_FOUND = 3;
inline constexpr WinError ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr WinError ERROR_ACCESS_DENIED = 5;
inline constexpr WinError ERROR_INVALID_HANDLE = 6;
inline constexpr WinError ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr WinError ERROR_INVALID_DATA = 13;
inline constexpr WinError ERROR_NOT_SAME_DEVICE = 17;
inline constexpr WinError ERROR_WRITE_FAULT = 29;
inline constexpr WinError ERROR_READ_FAULT = 30;
inline constexpr WinError ERROR_GEN_FAILURE = 31;
inline constexpr WinError ERROR_SHARING_VIOLATION = 32;
inline constexpr WinError ERROR_NOT_SUPPORTED = 50;
inline constexpr WinError ERROR_FILE_EXISTS = 80;
inline constexpr WinError ERROR_INVALID_PARAMETER = 87;
inline constexpr WinError ERROR_DISK_FULL = 112;
inline constexpr WinError ERROR_CALL_NOT_IMPLEMENTED = 120;
inline constexpr WinError ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr WinError ERROR_INVALID_NAME = 123;
inline constexpr WinError ERROR_DIR_NOT_EMPTY = 145;
inline constexpr WinError ERROR_BAD_PATHNAME = 161;
inline constexpr WinError ERROR_ALREADY_EXISTS = 183;
inline constexpr WinError ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr WinError ERROR_MORE_DATA = 234;
inline constexpr WinError ERROR_NO_MORE_ITEMS = 259;
inline constexpr WinError ERROR_DIRECTORY = 267;
inline constexpr WinError ERROR_CANTOPEN = 1011;
inline constexpr WinError ERROR_CANTREAD = 1012;
inline constexpr WinError ERROR_CANTWRITE = 1013;
inline constexpr WinError ERROR_KEY_DELETED = 1018;
inline constexpr WinError ERROR_NOT_ALL_ASSIGNED = 1300;
inline constexpr WinError ERROR_NO_SUCH_PRIVILEGE = 1313;

}  // namespace veldan::host::win

namespace veldan::host {
using namespace win;
}  // namespace veldan::host
