// Reading a user's file and writing one without ever leaving it half
// written: a new file is written beside the old one and renamed over it.
#pragma once

#include <string>
#include <string_view>

namespace pos {

// "-" stands for standard input or output.
inline bool IsStdio(const std::string& path) { return path == "-"; }
std::string DisplayName(const std::string& path);

// The whole file; false with *error set ("cannot open: ...").
bool ReadWhole(const std::string& path, std::string& bytes, std::string* error);

// Writes bytes to path through a temporary file in the same directory that
// is flushed to the disk, given the permission bits of the file it
// replaces, and renamed over it. On any failure the original file is left
// as it was, the temporary is removed and *error says why.
bool ReplaceSafely(const std::string& path, const std::string& bytes, std::string* error);

// Standard output: Print queues text (the first failure is kept), and
// WriteStdout also flushes; both false with *error set ("No space left on
// device") once writing has failed.
void Print(std::string_view text);
bool WriteStdout(std::string_view bytes, std::string* error);

// Whether a failure of standard output was already said (by WriteResult).
void MarkStdoutFailureTold();
bool StdoutFailureTold();

// Either of the two, by name.
bool WriteOutput(const std::string& path, const std::string& bytes, std::string* error);

}  // namespace pos
