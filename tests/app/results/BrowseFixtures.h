#pragma once

// A results window over a scripted facade whose path tree holds one volume
// with one folder row, "Docs", listing the given files.

#include <QCoreApplication>

#include <memory>

#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "ListFixtures.h"

struct BrowseWindow {
    explicit BrowseWindow(const std::vector<ListFile>& files) : list(files) {
        folder = std::make_shared<OpNodeData>(TreeNodeData{1, 0, 0, nullptr});
        folder->addChildObjects(list.rows);
        root = std::make_shared<OpNodeData>(TreeNodeData{1, 0, 1, nullptr});
        root->setSubNode({folder});
        window.allDiskArr.push_back(root);
        window.pathOutlineView->loadDataFormDetail(&window.allDiskArr, OpNodeData::kPathTree);
        showFolder();
    }

    // The folder chosen in the path tree, with a recount.
    void showFolder() { window.selectOutlineListWithOpNodeData(folder.get(), 1); }
    void settle() { QCoreApplication::processEvents(); }
    std::vector<std::string> shownNames() const { return FileList::names(window.arrList); }

    FakeFacade facade;
    FileList list;
    OpNodeRef root;
    OpNodeRef folder;
    KvDeletailWindowController window;
};
