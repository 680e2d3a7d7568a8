#pragma once
// Copies what is left to read from one open file into another, retrying
// interrupted calls. Returns 0, or the errno of the read or write that failed
// (a full disk is ENOSPC or EFBIG, not the library's generic I/O error).
namespace dex {

int copyFileContents(int in, int out);

}  // namespace dex
