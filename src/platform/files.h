// The file system as the directory utilities see it. Every call reports
// failure with the C runtime's errno values (2 no such file, 13 access
// denied, 17 exists); POSIX is made to behave as the library promises:
// backslashes separate path components, a name holding '*' or '?' does not
// exist, and a rename never replaces its target.
#pragma once

#include <cstddef>

namespace qel::platform {

inline constexpr size_t kMaxPath = 260;

// The system's temporary directory with its trailing separator; false when
// it cannot be had or is longer than kMaxPath - 1 bytes (errno set).
bool TempDirectory(char (&path)[kMaxPath]);
// The current directory; false when unavailable or kMaxPath bytes or longer.
bool CurrentDirectory(char (&path)[kMaxPath]);

bool PathExists(const char* path);
// 0 on success, else errno.
int RemoveFile(const char* path);
int RenameNoReplace(const char* from, const char* to);
// Creates an empty file, failing when it exists (17); readable and writable
// by its owner only. 0 on success, else errno.
int CreateExclusive(const char* path);

}  // namespace qel::platform
