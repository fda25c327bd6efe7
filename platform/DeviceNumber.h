#pragma once

#include <cstdint>
#include <string_view>

// "8:16", a block device's major and minor number as the kernel writes them in
// sysfs and mountinfo; false unless the whole text is that.
bool ParseDeviceNumber(std::string_view text, uint32_t& major, uint32_t& minor);
