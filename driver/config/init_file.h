// The init file of a VPI: KESTA<vpi>.INT in the host's current directory,
// naming the H1 card, the TSAP names and the stations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "host/records.h"

namespace kesta {

inline constexpr char kInitFileBase[] = "KESTA";
// Holds the base name, any 32-bit VPI number (10 digits), ".INT" and a NUL.
inline constexpr size_t kInitFileNameSize = 24;
// A line is read in pieces of at most 255 characters (and a NUL).
inline constexpr size_t kInitLineSize = 256;

// Tries "<base><vpi, 2 digits at least>.INT", "<base><vpi>.INT" and
// "<base>.INT" in that order and returns the first that opens for reading,
// or null. `name` keeps the name of the file opened (or the last one tried).
std::FILE* FindInitFile(const char* base, char* name, size_t nameSize, uint32_t vpi);

// Reads the next piece of a line into `line` (`size` bytes, at least 2):
// up to and including its line feed, or size-1 characters, whichever comes
// first. A carriage return right before a line feed is dropped. False at the
// end of the file or on a read error, when nothing was read.
bool ReadLinePiece(std::FILE* file, char* line, size_t size);

// Reads the init file of VPI `vpi` into the work area `work`: card number,
// TSAP names and station entries. Every refused line is logged and skipped.
void ReadInitFile(VpiCallBlock* call);

}  // namespace kesta
