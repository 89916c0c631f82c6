// How the process's heap gives memory back to the system. The collector
// frees pages of every size from hundreds of threads; this keeps what it
// holds after a collection close to what it still uses. Called once by a
// program's main, before any thread starts.
#ifndef NOVEL_PLATFORM_PROCESS_MEMORY_H_
#define NOVEL_PLATFORM_PROCESS_MEMORY_H_

// Blocks of 1 MiB and more come straight from the system and go straight
// back when freed, and free memory over 1 MiB at the top of the heap is
// returned. glibc would otherwise raise its threshold to the largest block
// freed so far: after one 20 MB page every later large page is carved from
// an arena and stays with the process, hundreds of MB held by chance.
void return_large_blocks_to_system();

#endif  // NOVEL_PLATFORM_PROCESS_MEMORY_H_
