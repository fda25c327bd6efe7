#pragma once

// What udev knows of a block device (its properties, such as ID_MODEL, ID_BUS,
// ID_FS_TYPE and DEVNAME), found from the device file's path.

#include <map>
#include <string>

using DeviceDescription = std::map<std::string, std::string>;

// Empty when the path is no block device or udev has no record of it.
DeviceDescription DescribeBlockDevice(const std::string& path);
