#pragma once
// The Windows headers of the live backend. Every source file of machine/win32
// includes this first, before any header of the machine layer: the machine
// layer names the Win32 constants (ERROR_*, REG_*, HKEY_*, CSIDL_*, ...) and
// calls (DeleteFile, PostMessage, ...) itself, which the Windows headers define
// as macros. The macros are removed here; the backend calls the wide functions
// by their full names (DeleteFileW) and uses the machine layer's constants,
// which have the same values.

#include <windows.h>

#include <aclapi.h>
#include <objbase.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#undef HKEY_CLASSES_ROOT
#undef HKEY_CURRENT_USER
#undef HKEY_LOCAL_MACHINE
#undef HKEY_USERS
#undef HKEY_PERFORMANCE_DATA
#undef HKEY_CURRENT_CONFIG
#undef REG_NONE
#undef REG_SZ
#undef REG_EXPAND_SZ
#undef REG_BINARY
#undef REG_DWORD
#undef REG_DWORD_BIG_ENDIAN
#undef REG_LINK
#undef REG_MULTI_SZ
#undef REG_QWORD
#undef FILE_ATTRIBUTE_READONLY
#undef FILE_ATTRIBUTE_HIDDEN
#undef FILE_ATTRIBUTE_SYSTEM
#undef FILE_ATTRIBUTE_DIRECTORY
#undef FILE_ATTRIBUTE_ARCHIVE
#undef FILE_ATTRIBUTE_NORMAL
#undef INVALID_FILE_ATTRIBUTES
#undef CSIDL_PROGRAMS
#undef CSIDL_PERSONAL
#undef CSIDL_FAVORITES
#undef CSIDL_STARTUP
#undef CSIDL_SENDTO
#undef CSIDL_STARTMENU
#undef CSIDL_DESKTOPDIRECTORY
#undef CSIDL_FONTS
#undef CSIDL_TEMPLATES
#undef CSIDL_COMMON_STARTMENU
#undef CSIDL_COMMON_PROGRAMS
#undef CSIDL_COMMON_STARTUP
#undef CSIDL_COMMON_DESKTOPDIRECTORY
#undef CSIDL_APPDATA
#undef CSIDL_LOCAL_APPDATA
#undef CSIDL_COMMON_FAVORITES
#undef CSIDL_COMMON_APPDATA
#undef CSIDL_PROFILE
#undef CSIDL_PROGRAM_FILES
#undef CSIDL_PROGRAM_FILES_COMMON
#undef WM_CLOSE
#undef ERROR_SUCCESS
#undef ERROR_INVALID_FUNCTION
#undef ERROR_FILE_NOT_FOUND
#undef ERROR_PATH_NOT_FOUND
#undef ERROR_TOO_MANY_OPEN_FILES
#undef ERROR_ACCESS_DENIED
#undef ERROR_INVALID_HANDLE
#undef ERROR_NOT_ENOUGH_MEMORY
#undef ERROR_INVALID_DATA
#undef ERROR_NOT_SAME_DEVICE
#undef ERROR_WRITE_FAULT
#undef ERROR_READ_FAULT
#undef ERROR_GEN_FAILURE
#undef ERROR_SHARING_VIOLATION
#undef ERROR_NOT_SUPPORTED
#undef ERROR_FILE_EXISTS
#undef ERROR_INVALID_PARAMETER
#undef ERROR_DISK_FULL
#undef ERROR_CALL_NOT_IMPLEMENTED
#undef ERROR_INSUFFICIENT_BUFFER
#undef ERROR_INVALID_NAME
#undef ERROR_DIR_NOT_EMPTY
#undef ERROR_BAD_PATHNAME
#undef ERROR_ALREADY_EXISTS
#undef ERROR_FILENAME_EXCED_RANGE
#undef ERROR_MORE_DATA
#undef ERROR_NO_MORE_ITEMS
#undef ERROR_DIRECTORY
#undef ERROR_CANTOPEN
#undef ERROR_CANTREAD
#undef ERROR_CANTWRITE
#undef ERROR_KEY_DELETED
#undef ERROR_NOT_ALL_ASSIGNED
#undef ERROR_NO_SUCH_PRIVILEGE
// Calls the machine layer's services are named after.
#undef CreateDirectory
#undef DeleteFile
#undef GetDiskFreeSpaceEx
#undef GetLongPathName
#undef GetShortPathName
#undef PostMessage
#undef RemoveDirectory
#undef MoveFile
