#include "ScanSinks.h"

#include <unistd.h>

#include <algorithm>

void CollectingTree::ShowNodes(IFileNode** nodes, unsigned int count, int /*lost*/) {
    if (nodes == nullptr)
        return;
    nodes_.insert(nodes_.end(), nodes, nodes + count);
}

void CollectingTree::ShowFilesystemNode(IFilesystemNode* root) {
    if (root != nullptr)
        treeTypes_.insert(root->GetSearcheType());
}

ConsoleProgress::ConsoleProgress() : terminal_(isatty(STDERR_FILENO) != 0) {}

int ConsoleProgress::UpdateProgress(_PROGRESS_INFO* info) {
    if (info == nullptr)
        return 0;
    if (info->state == PROGRESS_STATE_FINISHED)
        lastResult_ = info->result;
    if (!terminal_ || info->total == 0)
        return 0;
    const int percent =
        static_cast<int>(std::min<uint64_t>(info->done, info->total) * 100 / info->total);
    if (percent != shown_) {
        shown_ = percent;
        std::fprintf(stderr, "\rscanning: %3d%%", percent);
        std::fflush(stderr);
    }
    return 0;
}

void ConsoleProgress::Close() {
    if (terminal_ && shown_ >= 0)
        std::fputc('\n', stderr);
    shown_ = -1;
}
