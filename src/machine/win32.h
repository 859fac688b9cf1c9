#pragma once
// The Win32 vocabulary of the machine layer: result codes, registry roots and
// types, file attributes and shell folder ids, with their Windows values.

#include <cstdint>

namespace veldan::machine {

// A Windows result code (GetLastError / LSTATUS). ERROR_SUCCESS is 0.
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

// Registry roots, with the values of the predefined handles.
using HKEY = std::uint32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;
inline constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004u;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

// Registry value types.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_DWORD_BIG_ENDIAN = 5;
inline constexpr std::uint32_t REG_LINK = 6;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr std::uint32_t REG_QWORD = 11;

// File attributes.
inline constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr std::uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr std::uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

// Shell special folder ids (CSIDL_*).
inline constexpr int CSIDL_PROGRAMS = 2;
inline constexpr int CSIDL_PERSONAL = 5;
inline constexpr int CSIDL_FAVORITES = 6;
inline constexpr int CSIDL_STARTUP = 7;
inline constexpr int CSIDL_SENDTO = 9;
inline constexpr int CSIDL_STARTMENU = 11;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 16;
inline constexpr int CSIDL_FONTS = 20;
inline constexpr int CSIDL_TEMPLATES = 21;
inline constexpr int CSIDL_COMMON_STARTMENU = 22;
inline constexpr int CSIDL_COMMON_PROGRAMS = 23;
inline constexpr int CSIDL_COMMON_STARTUP = 24;
inline constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 25;
inline constexpr int CSIDL_APPDATA = 26;
inline constexpr int CSIDL_LOCAL_APPDATA = 28;
inline constexpr int CSIDL_COMMON_FAVORITES = 31;
inline constexpr int CSIDL_COMMON_APPDATA = 35;
inline constexpr int CSIDL_PROFILE = 40;
inline constexpr int CSIDL_PROGRAM_FILES = 38;
inline constexpr int CSIDL_PROGRAM_FILES_COMMON = 43;

// Window messages the machine understands.
inline constexpr std::uint32_t WM_CLOSE = 0x0010;

}  // namespace veldan::machine
