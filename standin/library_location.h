#pragma once
// Where the stand-in finds its library file, and whether a file can fit in the
// player's 32-bit address space before it is read.

#include <string>

namespace standin {

// library.tsv or samples/library.tsv beside the executable or in one of its parent
// folders; "" if none exists.
std::string DefaultLibraryPath();

// False, with the sizes said in `error`, when the file at `path` is too large to be
// held by this process; true for anything without a size to judge (a stream, a path
// that is not a file).
bool FitsInAddressSpace(const std::string& path, std::string& error);

}  // namespace standin
