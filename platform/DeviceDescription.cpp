#include "DeviceDescription.h"

#include <libudev.h>
#include <sys/stat.h>

DeviceDescription DescribeBlockDevice(const std::string& path) {
    DeviceDescription description;
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISBLK(status.st_mode))
        return description;
    udev* context = udev_new();
    if (!context)
        return description;
    if (udev_device* device = udev_device_new_from_devnum(context, 'b', status.st_rdev)) {
        udev_list_entry* entry = udev_device_get_properties_list_entry(device);
        for (; entry; entry = udev_list_entry_get_next(entry)) {
            const char* value = udev_list_entry_get_value(entry);
            description[udev_list_entry_get_name(entry)] = value ? value : "";
        }
        udev_device_unref(device);
    }
    udev_unref(context);
    return description;
}
