#pragma once

// The update window: fetches the product's update list, compares its
// "VersionCheck" with the program's own and shows one of four faces:
// checking, no network, no update, or the new version with its numbered
// features and a link to the download page. Nothing blocks while it checks:
// the network test and the fetch answer later, the fetch within a time limit.

#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>

#include "TCImageWindow.h"

class KvDialogFading;
class KvUpdateCheck;
class QLabel;
class QProgressBar;
class QScrollArea;

class KvCheckUpdateWindowController : public TCImageWindow {
    Q_OBJECT

public:
    static constexpr int kFetchLimitMs = 10000;

    enum class Face { kChecking, kNoNetwork, kNoUpdate, kHaveUpdate };

    // Where the check asks; the program's own list and network test by default.
    struct Source {
        QString listUrl;
        // Answers on `context`'s thread whether the network can be used.
        std::function<void(QObject* context, std::function<void(bool)>)> networkTest;
        int limitMs = kFetchLimitMs;
    };
    static Source programSource();

    explicit KvCheckUpdateWindowController(Source source = programSource(),
                                           QWidget* parent = nullptr);
    ~KvCheckUpdateWindowController() override;

    // Sets the title bar up and starts the check.
    void windowDidLoad();
    void getVersionChange();
    // Shows the face the remote list calls for (an empty list counts as version 0).
    void whatIsNewVersionDiff(QVariantMap remote);
    // How high `text` stands when laid out in `font` within `width`.
    static double heightForStringDrawing(const QString& text, const QFont& font, double width);

    void updateClickHereAction();
    void closeWindow();
    void closeWindowAction() { closeWindow(); }

    Face face() const { return face_; }
    QWidget* showVersionScrollView() const { return showVersionScrollView_; }
    QLabel* titleLable() const { return titleLable_; }
    QLabel* versionLabel() const { return versionLabel_; }
    KvDialogFading* fading() const { return fading_; }

private:
    void showFace(Face face);
    void fetched();

    Source source_;
    KvDialogFading* fading_;
    QWidget* checkProgressView_;
    QWidget* noNetworkView_;
    QWidget* noUpdateView_;
    QWidget* haveUpdateView_;
    QLabel* titleLable_;
    QLabel* versionLabel_;
    QScrollArea* changeValueScrollView_;
    QProgressBar* progressBar_;
    QWidget* showVersionScrollView_;
    QLabel* titleLabel_ = nullptr;
    QPointer<KvUpdateCheck> check_;
    Face face_ = Face::kChecking;
};

// Runs the update window modally; `closed` (when set) runs once it has closed.
void RunUpdateWindow(const std::function<void()>& closed);
