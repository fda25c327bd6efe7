#pragma once

// A grid over a data source that counts what it is asked, and a found file
// with just the fields the item views read.

#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>

#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "CNGridView.h"
#include "CNGridViewItem.h"
#include "FileNode.h"

inline void PrintTo(const CNIndexRange& range, std::ostream* out) {
    *out << "(" << range.location << ", " << range.length << ")";
}

inline void PrintTo(const CNItemPoint& point, std::ostream* out) {
    *out << "column " << point.column << " row " << point.row;
}

namespace gridtest {

// Runs the queued item passes and deletes what was let go.
inline void Settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class CountingSource : public CNGridViewDataSource {
public:
    uint64_t gridViewNumberOfItemsInSection(CNGridView*, int64_t) override { return count; }
    CNGridViewItem* gridViewItemAtIndex(CNGridView* grid, int64_t index, int64_t) override {
        asked.push_back(index);
        if (index >= int64_t(count) || empty.count(index))
            return nullptr;
        CNGridViewItem* item = grid->dequeueReusableItemWithIdentifier(kCNDefaultItemIdentifier);
        if (!item) {
            item = new CNGridViewItem;
            ++made;
        }
        item->setItemTitle(QString::number(index));
        return item;
    }

    uint64_t count = 0;
    std::set<int64_t> empty;  // cells answered with no item
    std::vector<int64_t> asked;
    int made = 0;
};

// A grid whose view is exactly `width` x `height`.
struct Grid {
    Grid(int width, int height, uint64_t count) {
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.resize(width, height);
        view.setDataSource(&source);
        source.count = count;
        view.show();
        Settle();
        view.reloadData();
        Settle();
    }
    void scrollTo(int y) {
        view.verticalScrollBar()->setValue(y);
        Settle();
    }
    int liveItems() const { return int(view.viewport()->findChildren<CNGridViewItem*>().size()); }
    std::set<int64_t> shown() const {
        const CNIndexSet indexes = view.indexesForVisibleItems();
        return {indexes.begin(), indexes.end()};
    }

    CountingSource source;
    CNGridView view;
};

class TestFile : public CFileNode {
public:
    TestFile(std::string name, bool deleted) : name_(std::move(name)), deleted_(deleted) {}
    const char* GetFileName() override { return name_.c_str(); }
    void SetFileName(const char* name) override { name_ = name; }
    int64_t GetFileSize() override { return 1; }
    uint32_t GetAttribute() override { return 0x20; }
    _FILETIME GetCreationTime() override { return 0; }
    _FILETIME GetModificationTime() override { return 0; }
    _FILETIME GetLastAccessTime() override { return 0; }
    int IsDirectory() override { return 0; }
    int IsDeleted() override { return deleted_; }
    CFileNode* Clone() override { return new TestFile(*this); }
    void MarkDeleted() override { deleted_ = true; }
    void FilterFileNameByDot() override {}
    void UpdateFileSize(int64_t) override {}
    // Any mark, partly checked included, as a folder would have one.
    _tagCheckedStatus GetCheckedStatus() override { return mark_; }
    void SetCheck(_tagCheckedStatus mark) override { mark_ = mark; }

private:
    std::string name_;
    bool deleted_;
    _tagCheckedStatus mark_ = _tagCheckedStatus(0);
};

}  // namespace gridtest
