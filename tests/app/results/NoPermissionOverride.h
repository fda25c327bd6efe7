#pragma once

// While it lives, the calling thread obeys file permissions even as root:
// the capabilities that bypass them leave its effective set. Folders made
// read-only then read as such to the code under test.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

class NoPermissionOverride {
public:
    NoPermissionOverride() {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &=
            ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        dropped_ = syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~NoPermissionOverride() {
        if (dropped_)
            syscall(SYS_capset, &header_, saved_);
    }
    NoPermissionOverride(const NoPermissionOverride&) = delete;
    NoPermissionOverride& operator=(const NoPermissionOverride&) = delete;

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool dropped_ = false;
};
