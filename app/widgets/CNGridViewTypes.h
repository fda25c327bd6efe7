#pragma once

// What the thumbnail grid shares with its callers: the "no index" value, cell
// positions, index sets, the names of the notifications it posts with their
// payload, and the data-source and delegate interfaces.

#include <QList>
#include <QMetaType>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <limits>
#include <set>

class CNGridView;
class CNGridViewItem;

// An index that stands for no item.
inline constexpr int64_t CNNotFound = std::numeric_limits<int64_t>::max();

// Every cell is this many points square, with no gap between cells.
inline constexpr int CNGridCellSize = 150;

// A cell position, column then row, both counted from 1.
struct CNItemPoint {
    uint64_t column = 0;
    uint64_t row = 0;
    friend bool operator==(const CNItemPoint&, const CNItemPoint&) = default;
};

inline CNItemPoint CNMakeItemPoint(uint64_t column, uint64_t row) {
    return {column, row};
}

using CNIndexSet = std::set<int64_t>;

// Notification names; each is posted with a CNGridViewNotification.
namespace cnnote {
inline constexpr const char* kSelectAllItems = "CNGridViewSelectAllItems";
inline constexpr const char* kDeSelectAllItems = "CNGridViewDeSelectAllItems";
inline constexpr const char* kWillHoverItem = "CNGridViewWillHoverItem";
inline constexpr const char* kWillUnhoverItem = "CNGridViewWillUnhoverItem";
inline constexpr const char* kWillSelectItem = "CNGridViewWillSelectItem";
inline constexpr const char* kDidSelectItem = "CNGridViewDidSelectItem";
inline constexpr const char* kWillDeselectItem = "CNGridViewWillDeselectItem";
inline constexpr const char* kDidDeselectItem = "CNGridViewDidDeselectItem";
inline constexpr const char* kWillDeselectAllItems = "CNGridViewWillDeselectAllItems";
inline constexpr const char* kDidDeselectAllItems = "CNGridViewDidDeselectAllItems";
inline constexpr const char* kDidClickItem = "CNGridViewDidClickItem";
inline constexpr const char* kDidDoubleClickItem = "CNGridViewDidDoubleClickItem";
inline constexpr const char* kRightMouseButtonClickedOnItem =
    "CNGridViewRightMouseButtonClickedOnItem";

// User-info keys: an item index (unsigned), the selected items (a
// QList<CNGridViewItem*>), an index set (a CNIndexSet).
inline constexpr const char* kItemIndexKey = "gridViewItemIndex";
inline constexpr const char* kSelectedItemsKey = "CNGridViewSelectedItems";
inline constexpr const char* kItemsIndexSetKey = "CNGridViewItemsIndexSetKey";
}  // namespace cnnote

// The object of every grid notification: the grid that posted it and what
// the notification tells.
struct CNGridViewNotification {
    QPointer<CNGridView> grid;
    QVariantMap userInfo;
};
Q_DECLARE_METATYPE(CNGridViewNotification)
Q_DECLARE_METATYPE(CNIndexSet)

// Answers the grid's questions about its items. The grid asks for section 0.
class CNGridViewDataSource {
public:
    virtual ~CNGridViewDataSource() = default;
    virtual uint64_t gridViewNumberOfItemsInSection(CNGridView* grid, int64_t section) = 0;
    // A filled item for the index, or null to leave that cell empty for now.
    virtual CNGridViewItem* gridViewItemAtIndex(CNGridView* grid, int64_t index,
                                                int64_t section) = 0;
    virtual uint64_t numberOfSectionsInGridView(CNGridView*) { return uint64_t(CNNotFound); }
    virtual QString gridViewTitleForHeaderInSection(CNGridView*, int64_t) { return {}; }
    virtual QStringList sectionIndexTitlesForGridView(CNGridView*) { return {}; }
};

// Hears what happens in the grid, after the matching notification is posted.
class CNGridViewDelegate {
public:
    virtual ~CNGridViewDelegate() = default;
    virtual void gridViewWillHoverItemAtIndex(CNGridView*, uint64_t, uint64_t) {}
    virtual void gridViewWillUnhoverItemAtIndex(CNGridView*, uint64_t, uint64_t) {}
    virtual void gridViewWillSelectItemAtIndex(CNGridView*, uint64_t, uint64_t) {}
    virtual void gridViewDidSelectItemAtIndex(CNGridView*, uint64_t, uint64_t) {}
    virtual void gridViewWillDeselectItemAtIndex(CNGridView*, uint64_t, uint64_t) {}
    virtual void gridViewDidDeselectItemAtIndex(CNGridView*, uint64_t, uint64_t) {}
    virtual void gridViewWillDeselectAllItems(CNGridView*, const QList<CNGridViewItem*>&) {}
    virtual void gridViewDidDeselectAllItems(CNGridView*) {}
    virtual void gridViewDidClickItemAtIndex(CNGridView*, uint64_t, uint64_t) {}
    virtual void gridViewDidDoubleClickItemAtIndex(CNGridView*, uint64_t, uint64_t) {}
    virtual void gridViewDidActivateContextMenuWithIndexes(CNGridView*, const CNIndexSet&,
                                                           uint64_t) {}
};
