// The program's own directory and writing a whole file: what the TXT export
// needs from the operating system. Used by the export and the headless mode.
// Safe from any thread.
#ifndef NOVEL_PLATFORM_PROGRAM_FILES_H_
#define NOVEL_PLATFORM_PROGRAM_FILES_H_

#include <functional>
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

// Hands one part of a file's content over; answers false once writing failed,
// and the producer should then stop.
using FilePartWriter = std::function<bool(std::string_view)>;

// write_whole_file with the content handed over in parts, so that a large file
// never needs to be whole in memory: `produce` passes each part, in order, to
// the writer it is given, and answers whether every part went in. Parts are
// gathered into large writes. A false answer fails the write like any other,
// leaving any earlier file whole.
bool write_file_in_parts(const std::string& path,
                         const std::function<bool(const FilePartWriter&)>& produce,
                         std::string* error);

#endif  // NOVEL_PLATFORM_PROGRAM_FILES_H_
