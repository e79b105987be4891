#include "platform/faults.h"

#include <atomic>

namespace platform {

namespace {

struct planned_failures {
    std::atomic<int> passes{0};    // calls to let through first
    std::atomic<int> failures{0};  // calls to fail after them
};
planned_failures plans[file_call_count];

planned_failures& plan_of(file_call call) { return plans[static_cast<std::size_t>(call)]; }

// Takes one from a positive count; false when it is already 0.
bool take_one(std::atomic<int>& count) {
    int left = count.load();
    while (left > 0)
        if (count.compare_exchange_weak(left, left - 1)) return true;
    return false;
}

}  // namespace

void fail_next(file_call call, int count, int after) {
    planned_failures& plan = plan_of(call);
    plan.failures.store(0);
    plan.passes.store(after > 0 ? after : 0);
    plan.failures.store(count > 0 ? count : 0);
}

int failures_left(file_call call) { return plan_of(call).failures.load(); }

void clear_failures() {
    for (planned_failures& plan : plans) {
        plan.failures.store(0);
        plan.passes.store(0);
    }
}

bool call_fails(file_call call) {
    planned_failures& plan = plan_of(call);
    if (plan.failures.load(std::memory_order_relaxed) == 0) return false;
    if (take_one(plan.passes)) return false;
    return take_one(plan.failures);
}

}  // namespace platform
