#include "OfferFixture.h"

#include <cstdlib>
#include <sstream>

#include "common/Bstr.h"

namespace offertest {

namespace {
constexpr wchar_t kFrameClass[] = L"OfferTestFrame";
const char* const kAnswers[] = {"OFFER_STANDIN_READY", "OFFER_STANDIN_INIT", "OFFER_STANDIN_ASYNC",
                                "OFFER_STANDIN_CAN_LEAVE", "OFFER_STANDIN_STATE"};

void RegisterFrameClass() {
    WNDCLASSEXW wc = {sizeof wc};
    if (::GetClassInfoExW(::GetModuleHandleW(nullptr), kFrameClass, &wc)) return;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kFrameClass;
    ::RegisterClassExW(&wc);
}
}  // namespace

TestOwner::TestOwner() {
    RegisterFrameClass();
    frame = ::CreateWindowExW(0, kFrameClass, L"offer test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640, 480,
                              nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

TestOwner::~TestOwner() { Close(); }

HWND TestOwner::CreateOfferPlaceholder() {
    ++created;
    if (refuse) return nullptr;
    if (placeholder) ::DestroyWindow(placeholder);
    placeholder = ::CreateWindowExW(0, L"STATIC", L"placeholder", WS_CHILD | WS_CLIPSIBLINGS, 20, 30, 470, 228, frame,
                                    nullptr, ::GetModuleHandleW(nullptr), nullptr);
    return placeholder;
}

void TestOwner::DestroyOfferPlaceholder() {
    ++destroyed;
    if (placeholder) ::DestroyWindow(placeholder);
    placeholder = nullptr;
}

void TestOwner::Close() {
    if (frame) ::DestroyWindow(frame);
    frame = placeholder = nullptr;
}

void OfferTest::SetUp() {
    wchar_t cwd[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    savedCwd_ = cwd;
    ASSERT_TRUE(::CreateDirectoryW((dir_ / L"bin").c_str(), nullptr));
    ASSERT_TRUE(::SetCurrentDirectoryW(dir_.path().c_str()));
    for (const char* name : kAnswers) Answer(name, nullptr);
    ::SetEnvironmentVariableW(L"OFFER_STANDIN_LOG", (dir_ / L"calls.log").c_str());
    debug_ = std::make_unique<harness::DebugCapture>();
    owner_ = std::make_unique<TestOwner>();
    ASSERT_NE(nullptr, owner_->frame);
    candy_ = std::make_unique<stagehand::Candy>(*owner_);
}

void OfferTest::TearDown() {
    // The windows go first: the library's dialog lives in them.
    if (owner_) owner_->Close();
    candy_.reset();
    owner_.reset();
    debug_.reset();
    ::SetEnvironmentVariableW(L"OFFER_STANDIN_LOG", nullptr);
    ::SetCurrentDirectoryW(savedCwd_.c_str());
}

void OfferTest::InstallLibrary(const wchar_t* variant) {
    harness::CopyFileOrThrow(harness::Join(harness::BinDir(), std::wstring(variant) + L".dll"), LibraryPath());
}

void OfferTest::Answer(const char* name, const char* value) { ::SetEnvironmentVariableA(name, value); }

std::vector<std::string> OfferTest::Calls() {
    std::vector<std::string> calls;
    std::istringstream in(harness::ReadFile(dir_ / L"calls.log"));
    std::string line;
    while (std::getline(in, line)) {
        size_t thread = line.rfind(" thread=");
        calls.push_back(thread == std::string::npos ? line : line.substr(0, thread));
    }
    return calls;
}

std::vector<DWORD> OfferTest::CallThreads() {
    std::vector<DWORD> threads;
    std::istringstream in(harness::ReadFile(dir_ / L"calls.log"));
    std::string line;
    while (std::getline(in, line)) {
        size_t thread = line.rfind(" thread=");
        threads.push_back(thread == std::string::npos ? 0 : std::strtoul(line.c_str() + thread + 8, nullptr, 10));
    }
    return threads;
}

void OfferTest::ClearCalls() { ::DeleteFileW((dir_ / L"calls.log").c_str()); }

bool OfferTest::LibraryLoaded() const { return ::GetModuleHandleW(LibraryPath().c_str()) != nullptr; }

void OfferTest::SetOptions(const wchar_t* advanced) {
    common::Bstr pub(L"Pub"), key(L"Key"), sec(L"Sec"), lang(L"en"), adv(advanced);
    ASSERT_HRESULT_SUCCEEDED(candy_->SetOptions(pub.get(), key.get(), sec.get(), lang.get(), adv.get()));
}

bool OfferTest::Initialize(const wchar_t* path) {
    common::Bstr p(path);
    return candy_->Initialize(p.get());
}

size_t OfferTest::DebugCount(const std::string& text) {
    std::string all = debug_->Text();
    size_t count = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) ++count;
    return count;
}

bool OfferTest::WaitCount(const std::string& text, size_t count) {
    for (int i = 0; i < 500; ++i) {
        size_t seen = DebugCount(text);
        if (seen >= count) return seen == count;
        ::Sleep(10);
    }
    return false;
}

bool OfferTest::WaitLast(const std::string& text) {
    for (int i = 0; i < 500; ++i) {
        std::vector<std::string> fragments = debug_->Fragments();
        if (!fragments.empty() && fragments.back() == text) return true;
        ::Sleep(10);
    }
    return false;
}

std::string OfferTest::DebugUntil(const std::string& text) {
    EXPECT_TRUE(debug_->WaitFor(text)) << "no debug output " << text << " in: " << debug_->Text();
    return debug_->Text();
}

std::vector<std::string> Matching(const std::vector<std::string>& all, const std::string& needle) {
    std::vector<std::string> out;
    for (const std::string& line : all)
        if (line.find(needle) != std::string::npos) out.push_back(line);
    return out;
}

}  // namespace offertest
