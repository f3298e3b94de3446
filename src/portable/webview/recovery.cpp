#include "portable/webview/recovery.h"

namespace vandrel {

bool RecoveryBudget::Take(uint64_t nowMs) {
    if (windowMs_) {
        while (!taken_.empty() && nowMs - taken_.front() >= *windowMs_) {
            taken_.pop_front();
        }
    }
    if (taken_.size() >= limit_) {
        return false;
    }
    taken_.push_back(nowMs);
    return true;
}

bool HangWatch::Report(uint64_t nowMs) {
    if (!start_ || nowMs - last_ >= kReportGapMs) {
        start_ = nowMs;
        asked_ = false;
    }
    last_ = nowMs;
    if (asked_ || nowMs - *start_ < kAskAfterMs) {
        return false;
    }
    asked_ = true;
    return true;
}

}  // namespace vandrel
