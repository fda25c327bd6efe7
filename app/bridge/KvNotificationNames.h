#pragma once

// Names of the notifications the interface posts on the notification centre.
namespace kvnote {

// A scan refreshed its result trees (throttled while running, always at the end).
inline constexpr const char* kNormalScanValue = "NormalScranValue";
inline constexpr const char* kDoSearchValue = "DoSearchValue";
inline constexpr const char* kDoSearchFinished = "DoSearchFinished";
inline constexpr const char* kDoRecovery = "DoRecovery";
// The device list has been built (or its building failed).
inline constexpr const char* kInitFinished = "aInitFinished";
inline constexpr const char* kQueryProgressInfo = "QueryProgressInfo";
inline constexpr const char* kQueryProgressFinish = "QueryProgressFinish";
inline constexpr const char* kRefreshAttachDevice = "RefreshAttachDevice";
inline constexpr const char* kRefreshDetachDevice = "RefreshDetachDevice";
// A sector of the scanned volume could not be read.
inline constexpr const char* kBadSectorNotify = "BadSectorNotify";
inline constexpr const char* kExportRsfFile = "ExportRSFFile";
inline constexpr const char* kAppWillTerminate = "appWillTerminate";
inline constexpr const char* kShowDetailWindow = "ShowDetailWindow";
inline constexpr const char* kSpacePreviewFile = "SpacePreviewFile";

}  // namespace kvnote
