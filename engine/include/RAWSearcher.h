#pragma once

class ICompleteFileSystemSearchController;

// A new raw signature block searcher (searcher type 34), owned by the caller;
// null while no raw search is available.
ICompleteFileSystemSearchController* CreateRAWSearcher();
