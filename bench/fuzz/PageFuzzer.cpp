#include "PageFuzzer.h"

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <vector>

#include "GrowthMeter.h"
#include "common/Bstr.h"
#include "common/Handle.h"
#include "common/Variant.h"

using common::ComPtr;

namespace fuzz {

namespace {

// The page: a seeded generator per call, hostile values (extreme numbers, NaN, a 128 KB
// string, nul and format characters, null and undefined, the page's own objects, the
// bridge itself, the page-state object, an object whose conversions throw), the four
// names in several spellings and some no bridge has, method calls with 0 to 4
// arguments, property reads and writes. Each batch reports through the page-state
// object's message mailbox how many calls it made and how many threw.
const char kPage[] = R"page(<html><head><title>robustness</title></head><body>
<script>
var state = new ActiveXObject("DOZUvidaruve.StateCtrl");
var x = window.external;
var names = ["checkconnection", "showoffer", "hideoffer", "checkoffer", "CheckConnection", "SHOWOFFER",
             "checkOffer", "HideOffer", "nosuch", "", "checkconnection ", "toString", "valueOf"];
var big = "A";
while (big.length < 131072) big += big;
var hostile = {valueOf: function () { throw new Error("valueOf"); },
               toString: function () { throw new Error("toString"); }};
function Rng(seed) { this.s = (seed >>> 0) || 1; }
Rng.prototype.next = function () {
  var s = this.s;
  s ^= s << 13; s >>>= 0; s ^= s >>> 17; s ^= s << 5; s >>>= 0;
  this.s = s;
  return s;
};
Rng.prototype.below = function (n) { return this.next() % n; };
function value(r) {
  switch (r.below(23)) {
  case 0: return 0;
  case 1: return -1;
  case 2: return 2147483647;
  case 3: return -2147483648;
  case 4: return 4294967296;
  case 5: return -1e308;
  case 6: return NaN;
  case 7: return Infinity;
  case 8: return 0.5;
  case 9: return "";
  case 10: return "ping";
  case 11: return big;
  case 12: return "\u0000x\uFFFF%s%n%ls%d";
  case 13: return null;
  case 14: return undefined;
  case 15: return true;
  case 16: return {};
  case 17: return [1, "a", null];
  case 18: return function () { return 1; };
  case 19: return x;
  case 20: return state;
  case 21: return hostile;
  default: return document;
  }
}
function call(r) {
  var name = names[r.below(names.length)];
  var kind = r.below(10);
  var n = r.below(5);
  var a = [];
  for (var i = 0; i < n; i++) a.push(value(r));
  if (kind == 0) return x[name];
  if (kind == 1) { x[name] = a[0]; return; }
  switch (n) {
  case 0: return x[name]();
  case 1: return x[name](a[0]);
  case 2: return x[name](a[0], a[1]);
  case 3: return x[name](a[0], a[1], a[2]);
  default: return x[name](a[0], a[1], a[2], a[3]);
  }
}
function fuzz(seed, first, count) {
  var made = 0, threw = 0;
  for (var i = first; i < first + count; i++) {
    var r = new Rng((seed * 2654435761 + i * 40503) % 4294967296);
    r.next();
    try { call(r); } catch (e) { threw++; }
    made++;
  }
  state.message("done " + made + " " + threw);
}
</script>
</body></html>
)page";

const LONG kBatch = 50;

// Calls `name` on `object` late-bound as the engine does; the result in `result` when given.
HRESULT CallByName(IDispatch* object, const wchar_t* name, std::initializer_list<const wchar_t*> texts,
                   VARIANT* result = nullptr) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<common::Variant> args(texts.size());
    size_t i = texts.size();
    for (const wchar_t* t : texts) {  // rgvarg holds the arguments last first
        --i;
        V_VT(args[i].get()) = VT_BSTR;
        V_BSTR(args[i].get()) = ::SysAllocString(t);
        if (!V_BSTR(args[i].get())) return E_OUTOFMEMORY;
    }
    std::vector<VARIANT> raw;
    for (auto& a : args) raw.push_back(*a.get());
    DISPPARAMS params = {raw.empty() ? nullptr : raw.data(), nullptr, UINT(raw.size()), 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

HRESULT CallWithNumbers(IDispatch* object, const wchar_t* name, std::initializer_list<UINT> numbers) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> raw(numbers.size());
    size_t i = numbers.size();
    for (UINT n : numbers) {
        --i;
        ::VariantInit(&raw[i]);
        V_VT(&raw[i]) = VT_UI4;
        V_UI4(&raw[i]) = n;
    }
    DISPPARAMS params = {raw.data(), nullptr, UINT(raw.size()), 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

HRESULT Create(const wchar_t* progId, ComPtr<IDispatch>& out) {
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(progId, &clsid);
    return FAILED(hr) ? hr : ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, out.put_void());
}

}  // namespace

const wchar_t PageFuzzer::kName[] = L"window.external (page script)";

PageFuzzer::PageFuzzer(unsigned seed, SharedRecord* record, std::wstring scratch)
    : seed_(seed), record_(record), scratch_(std::move(scratch)) {}

void PageFuzzer::Describe(const std::wstring& text) { wcsncpy_s(record_->current, text.c_str(), _TRUNCATE); }

HRESULT PageFuzzer::Setup() {
    HRESULT hr = Create(L"Stagehand.InstallDlgCtl", control_);
    if (FAILED(hr)) return hr;
    hr = Create(L"DOZUvidaruve.StateCtrl", state_);
    if (FAILED(hr)) return hr;
    Describe(L"Create(640, 480, 0)");
    hr = CallWithNumbers(control_.get(), L"Create", {640, 480, 0});
    if (FAILED(hr)) return hr;
    const std::wstring page = scratch_ + L"\\robustness.html";
    {
        common::UniqueHandle file(::CreateFileW(page.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        if (!file || !::WriteFile(file.get(), kPage, DWORD(sizeof kPage - 1), &written, nullptr))
            return HRESULT_FROM_WIN32(::GetLastError());
    }
    Describe(L"Navigate(robustness.html)");
    return CallByName(control_.get(), L"Navigate", {page.c_str()});
}

LONG PageFuzzer::Batch(LONG first, LONG count) {
    wchar_t args[64];
    swprintf_s(args, L"%u, %ld, %ld", seed_, first, count);
    Describe(std::wstring(L"page script: calls ") + std::to_wstring(first) + L".." +
             std::to_wstring(first + count - 1) + L" of fuzz(" + args + L")");
    HRESULT hr = CallByName(control_.get(), L"CallJSFunction", {L"fuzz", args, L"main"});
    ::InterlockedIncrement(&record_->families[FamilyOf(hr)]);
    common::Variant message;
    if (FAILED(CallByName(state_.get(), L"PollMessage", {}, message.put())) || V_VT(message.get()) != VT_BSTR)
        return -1;
    long made = -1, threw = 0;
    if (!V_BSTR(message.get()) || swscanf_s(V_BSTR(message.get()), L"done %ld %ld", &made, &threw) != 2) return -1;
    record_->scriptErrors += threw;
    return made;
}

void PageFuzzer::Run(LONG first, LONG last) {
    GrowthMeter growth(first, last);
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    for (LONG i = first; i <= last; i += kBatch) {
        const LONG count = std::min<LONG>(kBatch, last - i + 1);
        record_->callIndex = i;
        const LONG made = Batch(i, count);
        if (made != count) {
            // The page did not run the batch: name it as the finding of this child.
            Describe(L"page script made " + std::to_wstring(made) + L" of " + std::to_wstring(count) +
                     L" calls from " + std::to_wstring(i));
            record_->pageFailures += 1;
            break;
        }
        record_->calls += count;
        record_->callIndex = i + count - 1;
        for (LONG k = i; k < i + count; ++k) growth.AfterCall(k);
    }
    ::QueryPerformanceCounter(&end);
    record_->seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    growth.Finish(record_);
    record_->keptNotCounted = 1;  // the arguments are the page's own objects
    Describe(L"(closing the window)");
    CallByName(control_.get(), L"Quit", {});
    state_.reset();
    control_.reset();
}

}  // namespace fuzz
