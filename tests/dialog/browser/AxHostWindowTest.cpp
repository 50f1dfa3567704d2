// Our ActiveX host window with a recording stand-in control: the calls a control gets
// from being created, in-place activated, resized and torn down, in their order.
#include <gtest/gtest.h>

#include <windows.h>

#include "Harness.h"
#include "RecordingControl.h"
#include "dialog/browser/AxHostWindow.h"

namespace {

using browsertest::ControlRecord;
using browsertest::kRecordingControlClsid;
using browsertest::RecordingControlClass;

struct Parent {
    HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"host parent", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                  nullptr, nullptr);
    ~Parent() { ::DestroyWindow(hwnd); }
};

bool SameRect(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

TEST(AxHostWindow, ActivatesInPlaceFollowsTheWindowSizeAndTearsDown) {
    ControlRecord record;
    RecordingControlClass registration(record);
    Parent parent;
    ASSERT_TRUE(parent.hwnd);

    HWND host = stagehand::CreateAxHostWindow(parent.hwnd, WS_CHILD | WS_VISIBLE, RECT{10, 20, 210, 170},
                                              kRecordingControlClsid);
    ASSERT_TRUE(host) << std::hex << ::GetLastError();
    EXPECT_EQ(parent.hwnd, ::GetParent(host));
    // Without persisted state, the site set after InitNew, then in-place activation in
    // the host window over its whole client area.
    EXPECT_EQ(0u, record.Joined().find("InitNew SetClientSite DoVerb")) << record.Joined();
    EXPECT_EQ(OLEIVERB_INPLACEACTIVATE, record.verb);
    EXPECT_EQ(host, record.verbParent);
    EXPECT_TRUE(SameRect(RECT{0, 0, 200, 150}, record.verbRect));
    EXPECT_EQ(host, record.siteWindow) << "the in-place site answers for the host window";

    common::ComPtr<IOleObject> ole;
    EXPECT_HR(S_OK, stagehand::QueryAxHostControl(host, IID_IOleObject, ole.put_void()));
    EXPECT_TRUE(ole);
    common::ComPtr<IOleObject> none;
    EXPECT_HR(E_INVALIDARG, stagehand::QueryAxHostControl(parent.hwnd, IID_IOleObject, none.put_void()));
    EXPECT_FALSE(none);

    record.calls.clear();
    ::SetWindowPos(host, nullptr, 0, 0, 300, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ("SetObjectRects", record.Joined());
    EXPECT_TRUE(SameRect(RECT{0, 0, 300, 100}, record.objectRect));

    ole.reset();
    record.calls.clear();
    ::DestroyWindow(host);
    EXPECT_EQ("InPlaceDeactivate Close(nosave) SetClientSite(null)", record.Joined());
    EXPECT_EQ(0, record.alive) << "the host let the control go";
}

TEST(AxHostWindow, SiteFirstControlsAndControlsThatFail) {
    ControlRecord record;
    RecordingControlClass registration(record);
    Parent parent;
    RECT rect{0, 0, 100, 100};

    record.siteFirst = true;
    HWND host = stagehand::CreateAxHostWindow(parent.hwnd, WS_CHILD, rect, kRecordingControlClsid);
    ASSERT_TRUE(host);
    EXPECT_EQ(0u, record.Joined().find("SetClientSite InitNew DoVerb")) << record.Joined();
    ::DestroyWindow(host);

    // A control that refuses activation: no window, the failure in the last error, and
    // the control released again.
    record = ControlRecord{};
    record.doVerbResult = E_ACCESSDENIED;
    ::SetLastError(0);
    EXPECT_FALSE(stagehand::CreateAxHostWindow(parent.hwnd, WS_CHILD, rect, kRecordingControlClsid));
    EXPECT_EQ(static_cast<DWORD>(E_ACCESSDENIED), ::GetLastError());
    EXPECT_NE(std::string::npos, record.Joined().find("SetClientSite(null)")) << record.Joined();
    EXPECT_EQ(0, record.alive);

    // A class id nobody registered.
    const CLSID unknown = {0x6A0E3C51, 0x27B8, 0x4F0B, {0x9A, 0x51, 0x3D, 0x1C, 0x2E, 0x7F, 0x4B, 0x11}};
    EXPECT_FALSE(stagehand::CreateAxHostWindow(parent.hwnd, WS_CHILD, rect, unknown));
    EXPECT_EQ(static_cast<DWORD>(REGDB_E_CLASSNOTREG), ::GetLastError());
}

}  // namespace
