#pragma once

#include <optional>

// The rate prompt's counter, counted at each closing of the batch summary: the
// stored value counts closings since the last prompt. A stored value of 5 or more
// brings the prompt and starts again at 1; from an empty store the sixth closing
// brings it. Nothing is counted once the user has rated the running version.
class SummaryRateCounter {
public:
    static constexpr int kClosingsBeforePrompt = 5;

    struct Step {
        bool showPrompt = false;
        std::optional<int> store; // the value to store, or nothing to leave the store as it is
    };

    // stored: the counter as stored (nothing when absent); ratedThisVersion: the
    // stored rated version equals the running one.
    static Step summaryClosed(std::optional<int> stored, bool ratedThisVersion)
    {
        if (ratedThisVersion)
            return {};
        int count = stored.value_or(0);
        Step step;
        if (count >= kClosingsBeforePrompt) {
            step.showPrompt = true;
            count = 0;
        }
        step.store = count + 1;
        return step;
    }
};
