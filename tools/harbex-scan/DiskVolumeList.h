#pragma once

#include <list>
#include <string>

class IStorageDevice;

// Tells the user that `source` is a disk holding `volumes` (as its partition
// table lists them): one line each with number, start sector, size, file
// system and label, then how to choose one.
std::string FormatDiskVolumes(const std::string& source, const std::list<IStorageDevice*>& volumes);

// "512 B", "8.0 MiB", "1.5 GiB".
std::string FormatByteSize(double bytes);
