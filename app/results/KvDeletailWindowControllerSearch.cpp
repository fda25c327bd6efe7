// Searching the found files by name, and the recent searches.

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QTimer>

#include <utility>

#include "CoverFlowView.h"
#include "FileListModel.h"
#include "Images.h"
#include "KvDeletailWindowController.h"
#include "KvNSTableView.h"
#include "KvNotificationNames.h"
#include "KvSearchField.h"
#include "KvUIFacade.h"
#include "SearchText.h"
#include "TCImageButton.h"
#include "TCWindowButton.h"
#include "Tr.h"

void KvDeletailWindowController::setUpSearch() {
    // The plain field of the layout gives its place to the search field.
    auto* field = new KvSearchField(search->parentWidget());
    field->setObjectName(search->objectName());
    field->setGeometry(search->geometry());
    field->setEnabled(search->isEnabled());
    field->setVisible(!search->isHidden());
    delete search;
    search = field;
    searchField = field;
    field->recents().loadFromDefaults();
    addSearchHistoryMenu();
    QObject::connect(field, &KvSearchField::searchSent, this, [this] { doSearch(); });
    QObject::connect(field, &KvSearchField::clearClicked, this,
                     [this] { searchClearButtonClick(); });
}

void KvDeletailWindowController::observeSearch() {
    observe(kvnote::kDoSearchValue, &KvDeletailWindowController::searchTreeReady);
    observe(kvnote::kDoSearchFinished, &KvDeletailWindowController::reloadTreeView);
}

QString KvDeletailWindowController::GetSearchText() const {
    return SearchText::normalise(search->text());
}

int KvDeletailWindowController::doSearch() {
    KvUIFacade& facade = KvUIFacade::current();
    if (SearchText::isBlankOnly(search->text())) {
        searchField->recents().dropNewest();
        return 0;
    }
    const QString text = GetSearchText();
    if (text == facade.GetSearchString() && selectDesktop != 1)
        return 0;

    // Nothing may show the trees or their files while the search rebuilds them.
    stopAllImageLoadingAndWait();
    const std::pair<CommOutlineView*, int64_t> outlines[] = {
        {pathOutlineView, OpNodeData::kPathTree},
        {typeOutlineView, OpNodeData::kTypeTree},
        {createTimeOutlineView, OpNodeData::kCreatedTree},
        {modifyTimeOutlineView, OpNodeData::kModifiedTree}};
    for (const auto& [outline, kind] : outlines)
        outline->loadDataFormDetail(nullptr, kind);
    arrList.clear();
    listModel->reloadData();
    flowSelectedIndex = 0;
    photos.clear();
    flowView->reloadData();
    ClearSelectedFilesInfo();
    tableView->changeNoValue(1);
    coverFlowerTableView->changeNoValue(1);
    changeNoValue(1);

    if (selectDesktop != 1)
        searchField->recents().storeInDefaults();
    if (!facade.DoSearchWithString(text, QString::fromLatin1(kvnote::kDoSearchValue)))
        return 0;
    lastSearchStr = text;
    backHomeButton->setButtonEnabled(false);
    return 1;
}

void KvDeletailWindowController::reloadTreesFromRoots() {
    pathOutlineView->loadDataFormDetail(&allDiskArr, OpNodeData::kPathTree);
    typeOutlineView->loadDataFormDetail(&allTypeArr, OpNodeData::kTypeTree);
    createTimeOutlineView->loadDataFormDetail(&allCreatTimeArr, OpNodeData::kCreatedTree);
    modifyTimeOutlineView->loadDataFormDetail(&allModifyTimeArr, OpNodeData::kModifiedTree);
}

void KvDeletailWindowController::setCloseButtonEnabled(bool enabled) {
    TCWindowButton* close = closeButton();
    if (close == nullptr)
        close = standardWindowButton(kCloseButton);
    if (close != nullptr)
        close->setEnabled(enabled);
}

void KvDeletailWindowController::searchTreeReady() {
    setCloseButtonEnabled(false);
    reloadTreesFromRoots();
}

void KvDeletailWindowController::searchFinished() {
    searchTreeReady();
    stopAllImageLoadingAndWait();
    arrList.clear();
    listModel->reloadData();
    KvUIFacade& facade = KvUIFacade::current();
    const QString typed = search->text();
    if (!typed.isEmpty() && typed != QLatin1String(" "))
        facade.GetSearchResultToArr(&arrList);
    else if (OpNodeData* node = opDataFile.lock().get())
        facade.GetFileNodeToArray(&arrList, node);
    isSelectOutlineList = 1;
    if (selectSegmentCount_ == 1)
        viewLoadCnt_ = 0;
    flowSelectedIndex = 0;
    showFilesInCurrentView();
    showNoValueNote();
    setCloseButtonEnabled(true);
}

void KvDeletailWindowController::reloadTreeView() {
    if (refreshTimer != nullptr) {
        refreshTimer->stop();
        refreshTimer = nullptr;
        viewLoadCnt_ = 0;
    }
    KvUIFacade::current().StopSearch();
    backHomeButton->setButtonEnabled(true);
    // The text changed while the search ran: search again for what is there now.
    if (GetSearchText() != lastSearchStr && doSearch() == 1)
        return;
    searchFinished();
}

int KvDeletailWindowController::searchClearButtonClick() {
    search->clear();
    return doSearch();
}

void KvDeletailWindowController::selectClear() {
    searchField->recents().clear();
    searchField->recents().storeInDefaults();
}

void KvDeletailWindowController::doEndScanSearch() {
    search->setText(QStringLiteral("Desktop"));
    doSearch();
}

void KvDeletailWindowController::ClearSelectedFilesInfo() {
    opDataFile.reset();
    for (QAbstractButton* box : {listViewSelectAllButton, coverViewSelectAllButton}) {
        if (box == nullptr)
            continue;
        box->setIcon(Images::named(QStringLiteral("pf_checkbox_no")));
        box->setProperty("imageName", QStringLiteral("pf_checkbox_no"));
    }
    KvUIFacade::current().UnselectedAllNodes();
    showSelectFilesCountAndSize();
}

void KvDeletailWindowController::saveSearchHistroy() {
    searchField->recents().storeInHistory();
}

void KvDeletailWindowController::addSearchHistory() {
    searchField->recents().loadFromHistory();
}

void KvDeletailWindowController::addSearchHistoryMenu() {
    delete searchMenu;
    searchMenu = new QMenu(Tr("SEARCH_MENU"), searchField);
    auto item = [this](const char* key, int tag) {
        QAction* action = searchMenu->addAction(Tr(key));
        action->setData(tag);
        action->setEnabled(false);
        return action;
    };
    item("RECENT_SEARCH", KvSearchField::kRecentsTitle);
    item("NO_RECENT_SEARCH", KvSearchField::kNoRecents);
    item("RECENTS", KvSearchField::kRecentsPlace);
    searchMenu->addSeparator()->setData(static_cast<int>(KvSearchField::kRecentsTitle));
    QAction* clear = searchMenu->addAction(Tr("CLEAR"));
    QObject::connect(clear, &QAction::triggered, this, [this] { selectClear(); });
    searchField->setSearchMenuTemplate(searchMenu);
    searchField->recents().setEntries(searchField->recents().entries());
}
