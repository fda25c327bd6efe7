#pragma once

#include <cstdint>

// The update sequence that protects multi-sector NTFS structures (FILE, INDX,
// RCRD): the last word of every 512-byte stride holds the sequence number on
// disk, and the real words wait in the array at the update-sequence offset.
// Only the strides that lie inside `size` and that the array covers take part.
namespace NTFSUpdateSequence {

// Strides protected within `size` bytes; 0 when the array itself does not fit.
int ProtectedStrides(const uint8_t* buffer, int size);
bool IsValid(const uint8_t* buffer, int size);
// Puts the saved words back (after a passing IsValid).
void Undo(uint8_t* buffer, int size);
// Saves the current stride ends and writes the sequence number over them.
void Redo(uint8_t* buffer, int size);

}  // namespace NTFSUpdateSequence
