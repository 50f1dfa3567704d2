#pragma once
// A browser host's owner for the tests: counts the calls the host makes on its window
// and records the offer calls the pages make, from whichever thread they come.
#include <windows.h>

#include <atomic>
#include <utility>
#include <vector>

#include "common/CriticalSection.h"
#include "dialog/browser/BrowserHostOwner.h"
#include "dialog/browser/PageOffer.h"

namespace browsertest {

class TestOwner : public stagehand::BrowserHostOwner, public stagehand::PageOffer {
public:
    HWND frame = nullptr;
    std::atomic<int> toFront{0};
    std::atomic<int> toFrontTopmost{0};
    std::atomic<int> released{0};
    std::atomic<int> hidden{0};
    std::atomic<int> checked{0};
    std::atomic<int> checkAnswer{0};

    HWND FrameWindow() const override { return frame; }
    int BringToFront() override {
        ++toFront;
        return 0;
    }
    int BringToFrontTopmost() override {
        ++toFrontTopmost;
        return 0;
    }
    stagehand::PageOffer& Offer() override { return *this; }
    void OnHostReleased() override { ++released; }

    bool ShowOffer(int first, int second) override {
        common::ScopedLock guard(mutex_);
        shown_.emplace_back(first, second);
        return true;
    }
    void HideOffer() override { ++hidden; }
    bool CheckOffer() override {
        ++checked;
        return checkAnswer > 0;
    }

    std::vector<std::pair<int, int>> Shown() {
        common::ScopedLock guard(mutex_);
        return shown_;
    }

private:
    common::CriticalSection mutex_;
    std::vector<std::pair<int, int>> shown_;
};

}  // namespace browsertest
