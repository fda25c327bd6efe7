#pragma once

class CFileNode;

// Recognises Windows recycle bins and the files Windows moved into them:
// "$R..." holds a deleted file's data, "$I..." records the path it had.
class CRecyclerFilter {
public:
    // A folder named "Recycler", "Recycled", "$Recycle.Bin" or "$RECYCLE.BI0",
    // in any case.
    static bool IsRecycleBinSigleNode(CFileNode* node);
    // The node or one of its ancestors is a recycle-bin folder.
    static bool IsRecycleBin(CFileNode* node);
    // A recycle-bin info file: "$I..." or "#I...".
    static bool IsRecoverNode(CFileNode* node);
    // A recycled file: "$R..." or "#R...", except NTFS metadata names such as
    // "$Repair".
    static bool IsRecoverNodeEx(CFileNode* node);
};
