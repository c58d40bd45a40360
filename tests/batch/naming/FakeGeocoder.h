#pragma once

#include "batch/naming/ReverseGeocoder.h"

#include <QList>
#include <functional>
#include <thread>

// A geocoder for tests: answers what it is told, counts requests, and can answer
// from another thread or not at all.
class FakeGeocoder : public ReverseGeocoder {
public:
    enum class Mode { Immediately, FromAnotherThread, Never };

    std::function<ReverseGeocodeResult(double, double)> answer = [](double, double) { return ReverseGeocodeResult {}; };
    Mode mode = Mode::Immediately;
    int requests = 0;
    QList<Completion> unanswered; // kept by Mode::Never

    ~FakeGeocoder() override
    {
        for (auto& thread : m_threads)
            thread.join();
    }

    void reverseGeocodeLocation(double latitude, double longitude, Completion completion) override
    {
        ++requests;
        switch (mode) {
        case Mode::Immediately:
            completion(answer(latitude, longitude));
            break;
        case Mode::FromAnotherThread:
            m_threads.emplace_back([completion, result = answer(latitude, longitude)] { completion(result); });
            break;
        case Mode::Never:
            unanswered.append(std::move(completion));
            break;
        }
    }

    std::chrono::milliseconds pauseBeforeRequest() const override { return std::chrono::milliseconds(0); }

    static ReverseGeocodeResult address(const AddressDictionary& address) { return { QString(), address }; }

private:
    std::vector<std::thread> m_threads;
};
