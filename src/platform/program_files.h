// The program's own directory and writing a whole file: what the TXT export
// needs from the operating system. Used by the export and the headless mode.
// Safe from any thread.
#ifndef NOVEL_PLATFORM_PROGRAM_FILES_H_
#define NOVEL_PLATFORM_PROGRAM_FILES_H_

#include <string>
#include <string_view>

// The directory that holds the running executable, without a trailing
// separator; the working directory when the executable cannot be found.
std::string program_directory();

// Writes `bytes` as the whole content of `path`, creating or replacing it. The
// bytes go to a temporary file in the same directory first, which then takes
// the name, so a failed write leaves any earlier file whole. On failure the
// answer is false and `*error` (when given) says why.
bool write_whole_file(const std::string& path, std::string_view bytes, std::string* error);

#endif  // NOVEL_PLATFORM_PROGRAM_FILES_H_
