#pragma once

#include <QObject>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "KvDiskRelay.h"

class QSocketNotifier;
struct udev;
struct udev_monitor;

// One block-device event as the kernel or udev reports it.
struct KvBlockEvent {
    std::string action;  // "add", "change" or "remove"
    std::string name;    // kernel name: "sdb", "sdb1", "loop3"
    bool whole = true;   // a whole disk rather than a partition
};

// Watches block devices and tells the windows, through its relay, when media
// arrive or leave: each arrival alone, each removal once with its device node.
// Media present when it starts are not announced. A device whose size turns non-zero (a loop device
// being attached, a card put in a reader) arrives; one whose size drops to zero leaves. Lives on
// the main thread and posts there.
class KvDeviceMonitor : public QObject {
public:
    // Sizes are read from <sysfsRoot>/class/block/<name>/size.
    explicit KvDeviceMonitor(std::filesystem::path sysfsRoot = "/sys", QObject* parent = nullptr);
    ~KvDeviceMonitor() override;

    // Remembers the media present now and listens to udev's events, or to the
    // kernel's own where no udev daemon runs. False when neither can be heard.
    bool start();

    // Remembers the media present now, so that they are not announced.
    void prime();
    // Posts what a batch of events changed.
    void handle(const std::vector<KvBlockEvent>& events);

private:
    int64_t readSizeBytes(const std::string& name) const;
    std::string readModel(const std::string& name) const;
    void receive();

    std::filesystem::path sysfsRoot_;
    // Bytes of every device that holds a medium.
    std::map<std::string, int64_t> sizes_;
    KvDiskRelay relay_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
};

// Starts the application's monitor once, for the life of the process.
void USBNotifier_init();
