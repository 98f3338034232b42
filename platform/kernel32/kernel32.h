// kernel32 on POSIX: file search, current directory and the high-resolution
// counter, returning what Windows returns for the same situations.
#pragma once

#include <cstdio>

#include "platform/windef.h"

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_NORMAL 0x00000080

#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NO_MORE_FILES 18
#define ERROR_INVALID_PARAMETER 87
#define ERROR_FILENAME_EXCED_RANGE 206

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
};

// Starts a search of one folder for the names matching the wildcard pattern at
// the end of `fileName` ("folder\*.jpg"). Returns a handle owned by the caller
// (end it with FindClose) with the first match in `findData`, or
// INVALID_HANDLE_VALUE when nothing matches or the folder cannot be read.
HANDLE WINAPI FindFirstFileA(LPCSTR fileName, WIN32_FIND_DATAA* findData);
// Next match of the search, nonzero; zero when none is left or on any error.
BOOL WINAPI FindNextFileA(HANDLE findFile, WIN32_FIND_DATAA* findData);
BOOL WINAPI FindClose(HANDLE findFile);

// Writes the current directory (NUL-terminated) into `buffer` of `bufferLength`
// bytes and returns its length; when it does not fit, returns the length
// needed including the NUL and leaves the buffer alone; 0 on failure.
DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);

// The monotonic clock, in ticks of QueryPerformanceFrequency per second.
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency);
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count);

void WINAPI Sleep(DWORD milliseconds);

// The Windows C runtime's fopen_s, which takes a Windows-style path: the file
// is opened as every path of the layer is resolved (backslashes, any letter
// case). 0 with *file set on success; the errno value with *file null
// otherwise.
typedef int errno_t;
errno_t fopen_s(FILE** file, const char* fileName, const char* mode);
