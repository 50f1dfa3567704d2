#pragma once
// Table-driven self-registration of in-process automation servers.
#include <windows.h>
#include <objbase.h>

namespace common {

// One creatable class: its ProgID keys and its CLSID key.
struct ClassRegistration {
    const CLSID* clsid;
    const wchar_t* progId;          // versioned ProgID ("Lib.Class.1"), or the same as viProgId
    const wchar_t* viProgId;        // version-independent ProgID ("Lib.Class")
    const wchar_t* description;     // default value of every key ("CClass Object")
    const wchar_t* threadingModel;  // InprocServer32's ThreadingModel value
};

// The server itself: AppID keys, the type library and the module path.
struct ServerRegistration {
    const wchar_t* appId;    // "{...}" string
    const wchar_t* name;     // default value of the AppID key, and "<name>.DLL"
    const GUID* libid;
};

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" and its NUL.
constexpr size_t kGuidChars = 39;
void GuidString(const GUID& guid, wchar_t (&text)[kGuidChars]) noexcept;

// HKCR\AppID\{appId} = name and HKCR\AppID\<name>.DLL with AppID = appId;
// removal deletes both (never the AppID key itself).
HRESULT RegisterAppId(const ServerRegistration& server) noexcept;
HRESULT UnregisterAppId(const ServerRegistration& server) noexcept;

// Writes the ProgID keys and the CLSID key (replaced as a whole). modulePath goes to
// InprocServer32, or LocalServer32 when it names an executable image.
HRESULT RegisterClassKeys(const ClassRegistration& cls, const ServerRegistration& server,
                          const wchar_t* modulePath) noexcept;
// Removes the ProgID keys and the class's CLSID key (the CLSID key itself stays).
HRESULT UnregisterClassKeys(const ClassRegistration& cls) noexcept;

// The type library embedded in modulePath (TYPELIB resource 1).
HRESULT RegisterTypeLibrary(const wchar_t* modulePath) noexcept;
// Unregisters it; a type library that is not registered is not an error.
HRESULT UnregisterTypeLibrary(const wchar_t* modulePath) noexcept;

// Component categories through the standard component categories manager.
HRESULT RegisterCategory(const GUID& catid, const wchar_t* description) noexcept;
HRESULT RegisterClassInCategory(const CLSID& clsid, const GUID& catid) noexcept;
HRESULT UnregisterClassFromCategory(const CLSID& clsid, const GUID& catid) noexcept;

// Keeps COM initialized for the life of the object when the caller had not done so.
class ComInit {
public:
    ComInit() noexcept : hr_(::CoInitialize(nullptr)) {}
    ~ComInit() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;

private:
    HRESULT hr_;
};

}  // namespace common
