#pragma once

// The usage-statistics plug-in: a library that may sit in the program's own
// folder, exporting "InstallSpy" and "GetSmartSpy". The object GetSmartSpy
// answers is reached through its table of entry points, called by position.
// At quit the program asks the plug-in to send what it gathered (only when
// the user takes part) and then makes its final call. A missing library, a
// missing export or an entry that throws is skipped in silence.

#include <QLibrary>
#include <QString>

class KvSpyModule {
public:
    // The library's name without the platform's prefix and suffix.
    static constexpr const char* kLibraryName = "urExper";
    static constexpr const char* kEndpoint =
        "http://stats.harbex.example.org/product/index.php/"
        "?a=statistics&p_type=m_mac_vqr_user_operation";

    // The positions of the entries the program calls.
    enum Entry {
        kFinish = 0,
        kSendState = 2,
        kRecordText2 = 8,
    };
    // The table id under which a text asks the plug-in to send.
    static constexpr int kSendRequestId = 3584;

    // Looks for the library in `folder` only; with no folder nothing loads.
    explicit KvSpyModule(QString folder);

    // The library, loaded on first use; null when it is not there (asked
    // again next time).
    QLibrary* LoadSpyModule();
    // The last calls at quit: the send request when `participate`, the
    // state (7, 5), then the final entry.
    void SpyIDEnd(bool participate);

private:
    void* smartSpy();

    QString folder_;
    QLibrary library_;
    void* smartSpy_ = nullptr;
};
