#include "KvUIFilter.h"

#include "RecoveryFilter.h"

KvUIFilter* KvUIFilter::instance() {
    static KvUIFilter holder;
    return &holder;
}

KvUIFilter::KvUIFilter() : filter_(CreateFilter()) {}

KvUIFilter::~KvUIFilter() {
    if (filter_ != nullptr)
        filter_->Release();
}

void KvUIFilter::ResetFilter(unsigned int mask) {
    if (filter_ == nullptr)
        filter_ = CreateFilter();
    filter_->SetFilterTypes(mask);
}
