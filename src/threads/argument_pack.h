// ArgumentPack, the byte form in which the launcher hands a new thread its
// routine, argument bytes and set-up choice: a count N, then N element
// lengths, then the elements' bytes back to back (32-bit little-endian signed
// integers throughout).
//
// unpack_arguments() reads packs that arrive as raw bytes, so it checks every
// count and length against the input before it reads. Pure functions, safe
// from any thread.
#ifndef NOVEL_THREADS_ARGUMENT_PACK_H_
#define NOVEL_THREADS_ARGUMENT_PACK_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The pack of `elements`; empty when memory for it cannot be had.
std::string pack_arguments(const std::vector<std::string>& elements);

// Fills `elements` with the pack's elements and answers true. Answers false
// and leaves `elements` empty for anything that is not exactly one valid
// pack: fewer than 4 bytes, N below 1, a header longer than the input, a
// negative length, or lengths that do not add up to the data that follows.
bool unpack_arguments(std::string_view pack, std::vector<std::string>& elements);

// The 4 little-endian bytes of `value`, and back; reading answers 0 for
// anything other than exactly 4 bytes.
std::string int32_bytes(int32_t value);
int32_t int32_from_bytes(std::string_view bytes);

#endif  // NOVEL_THREADS_ARGUMENT_PACK_H_
