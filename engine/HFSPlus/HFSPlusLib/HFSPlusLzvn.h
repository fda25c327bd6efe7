#pragma once

// Decoder of LZVN streams, the compression of HFS+ files of decmpfs types 7 and 8.
// Writes at most `capacity` bytes into `destination` and answers the bytes
// written when the end-of-stream opcode is reached; 0 for a malformed stream
// (an undefined opcode, a match reaching before the output's start, a source
// that ends before the end of stream).
unsigned long lzvn_decode(void* destination, unsigned long capacity, const void* source,
                          unsigned long length);
