#pragma once

class ICompleteFileSystemSearchController;
class IQuickFileSystemSearchController;
class IStorageDevice;
class IVolumeAnalyze;

// The APFS analyser of the volume at `startSector`, or null when its first
// sector is not a container superblock with 4096-byte blocks.
IVolumeAnalyze* CreateAPFSVolumeAnalyze(IStorageDevice* device, unsigned long long startSector);

// The block searcher of a complete scan; never null.
ICompleteFileSystemSearchController* CreateAPFSDeepSearcher();

// APFS has no quick search: always null, so a volume is scanned completely.
IQuickFileSystemSearchController* CreateAPFSQuickSearcher();
