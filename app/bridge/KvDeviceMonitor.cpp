#include "KvDeviceMonitor.h"

#include <libudev.h>

#include <QSocketNotifier>

#include <fstream>
#include <memory>
#include <system_error>

#include "EngineLog.h"

namespace {

namespace fs = std::filesystem;

// Kernel names use "!" where the device node's path has a folder.
QString DevicePath(const std::string& name) {
    std::string node = name;
    for (char& c : node) {
        if (c == '!')
            c = '/';
    }
    return QString::fromStdString("/dev/" + node);
}

}  // namespace

KvDeviceMonitor::KvDeviceMonitor(fs::path sysfsRoot, QObject* parent)
    : QObject(parent), sysfsRoot_(std::move(sysfsRoot)) {}

KvDeviceMonitor::~KvDeviceMonitor() {
    delete notifier_;
    if (monitor_ != nullptr)
        udev_monitor_unref(monitor_);
    if (udev_ != nullptr)
        udev_unref(udev_);
}

int64_t KvDeviceMonitor::readSizeBytes(const std::string& name) const {
    std::ifstream file(sysfsRoot_ / "class" / "block" / name / "size");
    int64_t sectors = 0;
    if (!(file >> sectors) || sectors < 0 || sectors > INT64_MAX / 512)
        return 0;
    return sectors * 512;
}

std::string KvDeviceMonitor::readModel(const std::string& name) const {
    std::ifstream file(sysfsRoot_ / "class" / "block" / name / "device" / "model");
    std::string model;
    std::getline(file, model);
    while (!model.empty() && (model.back() == ' ' || model.back() == '\n'))
        model.pop_back();
    return model;
}

void KvDeviceMonitor::prime() {
    sizes_.clear();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sysfsRoot_ / "class" / "block", error)) {
        const std::string name = entry.path().filename().string();
        if (const int64_t bytes = readSizeBytes(name); bytes > 0)
            sizes_[name] = bytes;
    }
}

bool KvDeviceMonitor::start() {
    if (monitor_ != nullptr)
        return true;
    prime();
    udev_ = udev_new();
    if (udev_ == nullptr)
        return false;
    // Without a udev daemon nothing relays the kernel's events: hear them directly.
    const bool daemonRuns = fs::exists("/run/udev/control");
    monitor_ = udev_monitor_new_from_netlink(udev_, daemonRuns ? "udev" : "kernel");
    if (monitor_ == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        CatchExeception::WriteLog("matching notification registration failed\n");
        if (monitor_ != nullptr)
            udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        return false;
    }
    notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { receive(); });
    return true;
}

void KvDeviceMonitor::receive() {
    std::vector<KvBlockEvent> events;
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        const char* name = udev_device_get_sysname(device);
        const char* type = udev_device_get_devtype(device);
        if (action != nullptr && name != nullptr) {
            events.push_back({action, name, type == nullptr || std::string(type) != "partition"});
        }
        udev_device_unref(device);
    }
    handle(events);
}

void KvDeviceMonitor::handle(const std::vector<KvBlockEvent>& events) {
    for (const KvBlockEvent& event : events) {
        const auto known = sizes_.find(event.name);
        const bool hadMedium = known != sizes_.end();
        const int64_t bytes = event.action == "remove" ? 0 : readSizeBytes(event.name);
        if (bytes > 0) {
            sizes_[event.name] = bytes;
            if (hadMedium)
                continue;
            const KvMedium medium{DevicePath(event.name),
                                  QString::fromStdString(readModel(event.name)), bytes,
                                  event.whole};
            if (event.whole)
                relay_.DiskAppeared(medium);
            else
                relay_.DiskAppearedWithVolume(medium);
        } else if (hadMedium) {
            sizes_.erase(known);
            relay_.DiskDisappeared(DevicePath(event.name));
        }
    }
}

void USBNotifier_init() {
    static std::unique_ptr<KvDeviceMonitor> monitor;
    if (monitor)
        return;
    monitor = std::make_unique<KvDeviceMonitor>();
    if (!monitor->start())
        CatchExeception::WriteLog("Couldn't add device removal notification\n");
}
