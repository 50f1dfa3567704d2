#pragma once
// A stand-in ActiveX control for the host-window tests: an OLE object with an in-place
// object and IPersistStreamInit that records every call a host makes, in order, and
// what it was given. Registered for the calling thread under a class id of the tests.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <string>
#include <vector>

namespace browsertest {

// {6A0E3C51-27B8-4F0B-9A51-3D1C2E7F4B10}
extern const CLSID kRecordingControlClsid;

struct ControlRecord {
    std::vector<std::string> calls;   // "SetClientSite", "SetClientSite(null)", "InitNew", "DoVerb", ...
    LONG verb = 0;                    // last DoVerb's verb
    HWND verbParent = nullptr;        // and its parent window
    RECT verbRect{};                  // and its rectangle
    HWND siteWindow = nullptr;        // IOleInPlaceSite::GetWindow of the site given to DoVerb
    RECT objectRect{};                // last SetObjectRects position
    bool siteFirst = false;           // the control asks for OLEMISC_SETCLIENTSITEFIRST
    HRESULT doVerbResult = S_OK;      // what DoVerb answers
    LONG alive = 0;                   // controls not yet destroyed

    std::string Joined() const;
};

// Registers the control's class object on the calling thread while alive.
class RecordingControlClass {
public:
    explicit RecordingControlClass(ControlRecord& record);
    ~RecordingControlClass();
    RecordingControlClass(const RecordingControlClass&) = delete;
    RecordingControlClass& operator=(const RecordingControlClass&) = delete;

private:
    DWORD cookie_ = 0;
    IClassFactory* factory_ = nullptr;
};

}  // namespace browsertest
