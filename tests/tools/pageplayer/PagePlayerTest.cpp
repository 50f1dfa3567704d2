// The page player hosted the way the product hosts the WebBrowser control: created by the
// WebBrowser's class id (registered in the run's prefix by the fixture), real page files,
// the platform's JScript engine, events, execScript, window.external, security decisions,
// timers, the event log and painting.
#include <gtest/gtest.h>
#include <exdispid.h>
#include <mshtml.h>

#include <algorithm>
#include <atomic>

#include "Harness.h"
#include "TestThread.h"
#include "TestContainer.h"
#include "common/Bstr.h"
#include "common/Variant.h"

using common::Bstr;
using common::ComPtr;
using pagetest::TestContainer;

namespace {

std::string Utf8(const std::wstring& s) { return harness::Narrow(s); }

class PagePlayer : public ::testing::Test {
protected:
    void SetUp() override {
        log_ = dir_ / L"player.log";
        ::SetEnvironmentVariableW(L"PAGEPLAYER_LOG", log_.c_str());
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"PAGEPLAYER_LOG", nullptr); }

    std::wstring Page(const std::wstring& name, const std::wstring& html) {
        const std::wstring path = dir_ / name;
        harness::WriteFile(path, Utf8(html));
        return path;
    }
    // The address a browser shows for a file in the scratch folder.
    std::wstring Url(const std::wstring& name) {
        std::wstring p = dir_ / name;
        for (auto& c : p)
            if (c == L'\\') c = L'/';
        return L"file:///" + p;
    }
    std::string Log() { return harness::ReadFile(log_); }

    harness::TempDir dir_{L"pp"};
    std::wstring log_;
};

ComPtr<IHTMLWindow2> ScriptWindow(IWebBrowser2* browser) {
    ComPtr<IDispatch> doc;
    EXPECT_EQ(S_OK, browser->get_Document(doc.put()));
    ComPtr<IHTMLDocument2> html;
    if (doc) {
        EXPECT_EQ(S_OK, doc.As(html));
    }
    ComPtr<IDispatch> script;
    if (html) {
        EXPECT_EQ(S_OK, html->get_Script(script.put()));
    }
    ComPtr<IHTMLWindow2> window;
    if (script) {
        EXPECT_EQ(S_OK, script.As(window));
    }
    return window;
}

HRESULT Exec(IHTMLWindow2* window, const wchar_t* code) {
    Bstr text(code), language(L"javascript");
    common::Variant result;
    return window->execScript(text.get(), language.get(), result.get());
}

std::wstring WindowText(HWND hwnd) {
    wchar_t buf[4096] = {};
    ::GetWindowTextW(hwnd, buf, 4096);
    return buf;
}

}  // namespace

TEST_F(PagePlayer, RunsScriptsThenFiresEventsOnItsThreadAfterNavigateReturns) {
    Page(L"a.html",
         L"<html><head><title>First</title>\n"
         L"<script>window.external.record('head', location.search, location.href);</script>\n"
         L"</head><body onload=\"window.external.record('onload', document.title)\">\n"
         L"<p>Hello</p>\n"
         L"<script type=\"text/javascript\">external.record('body', typeof window.external);</script>\n"
         L"<script type=\"text/vbscript\">MsgBox \"never\"</script>\n"
         L"</body></html>\n");
    TestContainer c;
    ASSERT_NE(nullptr, c.browser());
    const DWORD ui = ::GetCurrentThreadId();

    // The engine's thread calls Navigate directly; the page must load on the player's
    // thread, later. Nothing is pumped here until Navigate has returned.
    HRESULT navigated = E_FAIL;
    DWORD worker = 0;
    harness::TestThread engine([&] {
        worker = ::GetCurrentThreadId();
        Bstr url((dir_ / L"a.html?step=2").c_str());
        navigated = c.browser()->Navigate(url.get(), nullptr, nullptr, nullptr, nullptr);
    });
    engine.join();
    ASSERT_EQ(S_OK, navigated);
    EXPECT_TRUE(c.sink().events.empty());
    VARIANT_BOOL busy = VARIANT_FALSE;
    EXPECT_EQ(S_OK, c.browser()->get_Busy(&busy));
    EXPECT_EQ(VARIANT_TRUE, busy);
    ASSERT_TRUE(TestContainer::PumpUntil([&] { return c.sink().Count(DISPID_DOCUMENTCOMPLETE) == 1; }));

    const std::wstring url = Url(L"a.html") + L"?step=2";
    EXPECT_EQ((std::vector<DISPID>{DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE}), c.sink().Sequence());
    for (const auto& e : c.sink().events) {
        EXPECT_EQ(ui, e.thread);
        EXPECT_NE(worker, e.thread);
        if (e.id != DISPID_TITLECHANGE) {
            EXPECT_EQ(url, e.url);
        }
    }
    // Blocks in order, the VBScript block skipped, onload after them; all on the player's
    // thread between NavigateComplete2 and DocumentComplete.
    EXPECT_EQ((std::vector<std::wstring>{L"record:head,?step=2," + url, L"record:body,object", L"record:onload,First"}),
              c.external().Summary());
    int navigateComplete = 0, documentComplete = 0;
    for (const auto& e : c.sink().events) {
        if (e.id == DISPID_NAVIGATECOMPLETE2) navigateComplete = e.step;
        if (e.id == DISPID_DOCUMENTCOMPLETE) documentComplete = e.step;
    }
    for (const auto& call : c.external().calls) {
        EXPECT_EQ(ui, call.thread);
        EXPECT_GT(call.step, navigateComplete);
        EXPECT_LT(call.step, documentComplete);
        EXPECT_TRUE(call.flags & DISPATCH_METHOD);
    }
    // The host was asked before script ran, for this page.
    ASSERT_FALSE(c.site().asked.empty());
    EXPECT_EQ(static_cast<DWORD>(URLACTION_SCRIPT_RUN), c.site().asked.front().first);
    EXPECT_EQ(url, c.site().asked.front().second);

    EXPECT_EQ(S_OK, c.browser()->get_Busy(&busy));
    EXPECT_EQ(VARIANT_FALSE, busy);
    READYSTATE state = READYSTATE_UNINITIALIZED;
    EXPECT_EQ(S_OK, c.browser()->get_ReadyState(&state));
    EXPECT_EQ(READYSTATE_COMPLETE, state);
    Bstr location;
    EXPECT_EQ(S_OK, c.browser()->get_LocationURL(location.put()));
    EXPECT_EQ(url, location.c_str());
    EXPECT_NE(std::string::npos, Log().find(" navigate " + Utf8(url) + "\n"));

    // Called on the player's own thread, Navigate still returns before anything fires.
    const size_t before = c.sink().events.size();
    Bstr same(Url(L"a.html").c_str());
    ASSERT_EQ(S_OK, c.browser()->Navigate(same.get(), nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(before, c.sink().events.size());
    ASSERT_TRUE(TestContainer::PumpUntil([&] { return c.sink().Count(DISPID_DOCUMENTCOMPLETE) == 2; }));
}

TEST_F(PagePlayer, ExecScriptRunsCodeInThePageAndFailsForThrowingOrBrokenCode) {
    Page(L"exec.html",
         L"<html><head><title>Exec</title><script>\n"
         L"function f(x) { window.external.record('f', x); }\n"
         L"</script></head><body>text</body></html>");
    TestContainer c;
    ASSERT_TRUE(c.NavigateAndWait(dir_ / L"exec.html"));
    ComPtr<IDispatch> doc;
    ASSERT_EQ(S_OK, c.browser()->get_Document(doc.put()));
    ComPtr<IHTMLDocument2> html;
    ASSERT_EQ(S_OK, doc.As(html));
    Bstr title;
    EXPECT_EQ(S_OK, html->get_title(title.put()));
    EXPECT_STREQ(L"Exec", title.c_str());
    ComPtr<IHTMLWindow2> window = ScriptWindow(c.browser());
    ASSERT_TRUE(window);

    EXPECT_EQ(S_OK, Exec(window.get(), L"f('a');"));
    EXPECT_EQ((std::vector<std::wstring>{L"record:f,a"}), c.external().Summary());
    EXPECT_TRUE(FAILED(Exec(window.get(), L"throw new Error('boom');")));
    EXPECT_TRUE(FAILED(Exec(window.get(), L"f(;")));
    EXPECT_TRUE(FAILED(Exec(window.get(), L"noSuchFunction('a');")));
    // Functions the page defined are window members too; execScript from another thread
    // runs on the page's thread.
    HRESULT fromThread = E_FAIL;
    std::atomic<bool> done{false};
    harness::TestThread other([&] {
        fromThread = Exec(window.get(), L"window.f('b');");
        done = true;
    });
    EXPECT_TRUE(TestContainer::PumpUntil([&] { return done.load(); }));
    other.join();
    EXPECT_EQ(S_OK, fromThread);
    ASSERT_EQ(2u, c.external().calls.size());
    EXPECT_EQ((std::vector<std::wstring>{L"f", L"b"}), c.external().calls[1].args);
    EXPECT_EQ(::GetCurrentThreadId(), c.external().calls[1].thread);

    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find(" script-error ")) << log;
    EXPECT_NE(std::string::npos, log.find("boom")) << log;
    EXPECT_NE(std::string::npos, log.find(" external record(\"f\", \"a\") 0x00000000")) << log;
}

TEST_F(PagePlayer, ExternalCallsReachTheHostWithItsDispidsAndResultsReturnToThePage) {
    Page(L"ext.html",
         L"<html><body><script>\n"
         L"var sum = window.external.Add(2, 3);\n"
         L"window.external.Record('sum', sum);\n"
         L"try { window.external.missing(1); } catch (e) { window.external.record('missing', 'threw'); }\n"
         L"</script></body></html>");
    TestContainer c({{L"record", 1200}, {L"add", 1201}});
    c.site().externalIsHandler = true;  // the product's host hands out its UI handler
    ASSERT_TRUE(c.NavigateAndWait(dir_ / L"ext.html"));
    // The page's calls are methods; the player's own ambient property reads on the
    // same object are not.
    std::vector<pagetest::ExternalCall> calls;
    for (const auto& call : c.external().calls) {
        if (call.flags & DISPATCH_METHOD)
            calls.push_back(call);
        else
            EXPECT_EQ(DISPATCH_PROPERTYGET, call.flags);
    }
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(1201, calls[0].id);
    EXPECT_EQ(L"Add", calls[0].name);
    EXPECT_EQ((std::vector<std::wstring>{L"2", L"3"}), calls[0].args);
    EXPECT_EQ(1200, calls[1].id);
    EXPECT_EQ((std::vector<std::wstring>{L"sum", L"5"}), calls[1].args);
    EXPECT_EQ((std::vector<std::wstring>{L"missing", L"threw"}), calls[2].args);
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find(" external Add(2, 3) 0x00000000 5\n")) << log;
    EXPECT_NE(std::string::npos, log.find(" external missing unknown name 0x80020006\n")) << log;
}

TEST_F(PagePlayer, RefusedScriptRunRunsNothingButThePageStillLoads) {
    Page(L"noscript.html",
         L"<html><body onload=\"external.record('onload')\"><p>Static text</p>"
         L"<noscript>Scripting is off</noscript>"
         L"<script>external.record('script');</script></body></html>");
    TestContainer c;
    c.site().policy = [](DWORD action) { return action == URLACTION_SCRIPT_RUN ? URLPOLICY_DISALLOW : URLPOLICY_ALLOW; };
    ASSERT_TRUE(c.NavigateAndWait(dir_ / L"noscript.html"));
    EXPECT_EQ((std::vector<DISPID>{DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE}), c.sink().Sequence());
    EXPECT_TRUE(c.external().calls.empty());
    ComPtr<IHTMLWindow2> window = ScriptWindow(c.browser());
    ASSERT_TRUE(window);
    EXPECT_TRUE(FAILED(Exec(window.get(), L"external.record('exec');")));
    EXPECT_TRUE(c.external().calls.empty());
    const std::wstring text = WindowText(c.PlayerWindow());
    EXPECT_NE(std::wstring::npos, text.find(L"Static text"));
    EXPECT_NE(std::wstring::npos, text.find(L"Scripting is off"));
    EXPECT_NE(std::string::npos, Log().find(" refused action 0x00001400 "));
}

TEST_F(PagePlayer, ActiveXCreationFollowsTheHostsDecision) {
    Page(L"ax.html",
         L"<html><body><script>\n"
         L"try { var d = new ActiveXObject('Scripting.Dictionary'); d.Add('k', 'v'); external.record('created', d.Item('k')); }\n"
         L"catch (e) { external.record('refused'); }\n"
         L"</script></body></html>");
    CLSID dictionary = {};
    ASSERT_EQ(S_OK, ::CLSIDFromProgID(L"Scripting.Dictionary", &dictionary));
    {
        TestContainer c;
        ASSERT_TRUE(c.NavigateAndWait(dir_ / L"ax.html"));
        EXPECT_EQ((std::vector<std::wstring>{L"record:created,v"}), c.external().Summary());
        ASSERT_EQ(1u, c.site().askedObjects.size());
        EXPECT_TRUE(IsEqualGUID(dictionary, c.site().askedObjects[0]));
    }
    {
        TestContainer c;
        c.site().policy = [](DWORD action) {
            return action == URLACTION_ACTIVEX_RUN ? URLPOLICY_DISALLOW : URLPOLICY_ALLOW;
        };
        ASSERT_TRUE(c.NavigateAndWait(dir_ / L"ax.html"));
        EXPECT_EQ((std::vector<std::wstring>{L"record:refused"}), c.external().Summary());
        EXPECT_NE(std::string::npos, Log().find(" refused action 0x00001200 "));
    }
}

TEST_F(PagePlayer, TimersRunOnThePlayersThreadAndAlertsAndErrorsAreLogged) {
    Page(L"timers.html",
         L"<html><body><script>\n"
         L"alert('hello & welcome');\n"
         L"var t = setTimeout(function () { external.record('cancelled'); }, 10);\n"
         L"clearTimeout(t);\n"
         L"setTimeout(function (a) { external.record('timeout', a); }, 20, 'arg');\n"
         L"window.setTimeout(\"external.record('code', 'text')\", 30);\n"
         L"setTimeout(function () { throw new Error('late'); }, 40);\n"
         L"var n = 0; var iv = setInterval(function () { if (++n == 3) { clearInterval(iv); external.record('interval', n); } }, 10);\n"
         L"undefinedFunction();\n"
         L"</script></body></html>");
    TestContainer c;
    ASSERT_TRUE(c.NavigateAndWait(dir_ / L"timers.html"));
    ASSERT_TRUE(TestContainer::PumpUntil([&] { return c.external().calls.size() >= 3 && Log().find("timer-error") != std::string::npos; }, 10000))
        << Log();
    TestContainer::PumpUntil([] { return false; }, 200);  // a cleared timer would fire by now
    auto summary = c.external().Summary();
    std::sort(summary.begin(), summary.end());
    EXPECT_EQ((std::vector<std::wstring>{L"record:code,text", L"record:interval,3", L"record:timeout,arg"}), summary);
    for (const auto& call : c.external().calls) EXPECT_EQ(::GetCurrentThreadId(), call.thread);
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find(" alert hello & welcome\n")) << log;
    // The error's line is the file's line (undefinedFunction is on line 9).
    EXPECT_NE(std::string::npos, log.find(" script-error " + Utf8(Url(L"timers.html")) + " line 9 ")) << log;
    EXPECT_NE(std::string::npos, log.find(" timer-error ")) << log;
}

TEST_F(PagePlayer, DomSubsetWorksAndTheWindowShowsThePageText) {
    Page(L"dom.html",
         // Sloppy but common: no </head>, no <body>.
         L"<html><head><title>Setup &amp; Play</title><style>p { color: red }</style>\n"
         L"<h1>Welcome</h1>\n"
         L"<p id=\"msg\">Fish &amp; Chips &lt;3</p>\n"
         L"<div id=\"box\" style=\"display:none\">Hidden text</div>\n"
         L"<input type=\"text\" id=\"name\" value=\"Ann\"><input type=\"checkbox\" id=\"agree\">\n"
         L"<input type=\"button\" id=\"next\" value=\"Next\" "
         L"onclick=\"external.record('clicked', this.id); return false;\">\n"
         L"<span id=\"w\" style=\"width: 10px\">x</span>\n"
         L"<script>\n"
         L"var m = document.getElementById('msg');\n"
         L"external.record('text', m.innerText);\n"
         L"document.getElementById('name').value = 'Bob';\n"
         L"document.getElementById('agree').checked = true;\n"
         L"document.getElementById('box').style.display = 'block';\n"
         L"document.getElementById('w').style.width = '120px';\n"
         L"external.record('width', document.getElementById('w').style.width, document.getElementById('agree').checked);\n"
         L"document.getElementById('next').click();\n"
         L"external.record('missing', document.getElementById('nope') === null, !!document.getElementById);\n"
         L"</script></html>");
    TestContainer c;
    ASSERT_TRUE(c.NavigateAndWait(dir_ / L"dom.html"));
    EXPECT_EQ((std::vector<std::wstring>{L"record:text,Fish & Chips <3", L"record:width,120px,true",
                                         L"record:clicked,next", L"record:missing,true,true"}),
              c.external().Summary());
    ComPtr<IHTMLWindow2> window = ScriptWindow(c.browser());
    ASSERT_TRUE(window);
    ASSERT_EQ(S_OK, Exec(window.get(), L"document.getElementById('msg').innerText = 'Changed text';"
                                       L"document.title = 'New title';"));
    HWND view = c.PlayerWindow();
    ASSERT_NE(nullptr, view);
    const std::wstring text = WindowText(view);
    for (const wchar_t* shown : {L"New title", L"Welcome", L"Changed text", L"Hidden text", L"[Bob]", L"[x]", L"[ Next ]"})
        EXPECT_NE(std::wstring::npos, text.find(shown)) << harness::Narrow(shown) << " in " << harness::Narrow(text);
    for (const wchar_t* hidden : {L"color: red", L"getElementById", L"Fish"})
        EXPECT_EQ(std::wstring::npos, text.find(hidden)) << harness::Narrow(hidden);

    // The pixels: text in the top part of the window, nothing but background below it.
    RECT rc;
    ::GetClientRect(view, &rc);
    HDC screen = ::GetDC(view);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::SendMessageW(view, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    int dark = 0, darkBelow = 0;
    for (int y = 0; y < rc.bottom; y += 1)
        for (int x = 0; x < rc.right; x += 1) {
            COLORREF p = ::GetPixel(memory, x, y);
            if (GetRValue(p) < 128 && GetGValue(p) < 128 && GetBValue(p) < 128) (y < 250 ? dark : darkBelow)++;
        }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(view, screen);
    EXPECT_GT(dark, 100);
    EXPECT_EQ(0, darkBelow);
}

TEST_F(PagePlayer, MissingPageFiresNavigateErrorAndTheHostMayCancel) {
    TestContainer c;
    const std::wstring missing = dir_ / L"missing.html";
    ASSERT_TRUE(c.NavigateAndWait(missing));
    EXPECT_EQ((std::vector<DISPID>{DISPID_NAVIGATEERROR, DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE}),
              c.sink().Sequence());
    EXPECT_EQ(Url(L"missing.html"), c.sink().events.front().url);
    EXPECT_EQ(static_cast<LONG>(INET_E_RESOURCE_NOT_FOUND), c.sink().events.front().status);
    EXPECT_NE(std::string::npos, Log().find(" navigate-error " + Utf8(Url(L"missing.html")) + " 0x800c0005\n"));

    c.sink().events.clear();
    c.sink().cancelErrors = true;
    Bstr url(missing.c_str());
    ASSERT_EQ(S_OK, c.browser()->Navigate(url.get(), nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(TestContainer::PumpUntil([&] {
        VARIANT_BOOL busy = VARIANT_TRUE;
        c.browser()->get_Busy(&busy);
        return busy == VARIANT_FALSE;
    }));
    EXPECT_EQ((std::vector<DISPID>{DISPID_NAVIGATEERROR}), c.sink().Sequence());
}

TEST_F(PagePlayer, PageNavigationsCarryTheirQuery) {
    Page(L"first.html", L"<html><body><script>location.href = 'second.html?from=first';</script></body></html>");
    Page(L"second.html",
         L"<html><body><script>external.record('second', location.search, location.protocol);</script>"
         L"<a id=\"back\" href=\"first.html\">back</a></body></html>");
    TestContainer c;
    ASSERT_TRUE(c.NavigateAndWait(dir_ / L"first.html"));
    ASSERT_TRUE(TestContainer::PumpUntil([&] { return c.sink().Count(DISPID_DOCUMENTCOMPLETE) == 2; }));
    EXPECT_EQ((std::vector<std::wstring>{L"record:second,?from=first,file:"}), c.external().Summary());
    Bstr location;
    EXPECT_EQ(S_OK, c.browser()->get_LocationURL(location.put()));
    EXPECT_EQ(Url(L"second.html") + L"?from=first", location.c_str());
}

TEST_F(PagePlayer, ALaterClientSiteTakesOverAndShutdownReleasesTheHost) {
    Page(L"site.html", L"<html><body><script>external.record('here');</script></body></html>");
    TestContainer c;
    // The product replaces the host window's own site with its own after creation.
    auto* external = new pagetest::HostExternal({{L"record", 7}});
    auto* second = new pagetest::TestSite(c.window(), external);
    ASSERT_EQ(S_OK, c.object()->SetClientSite(second));
    ASSERT_TRUE(c.NavigateAndWait(dir_ / L"site.html"));
    EXPECT_TRUE(c.external().calls.empty());
    ASSERT_EQ(1u, external->calls.size());
    EXPECT_EQ(7, external->calls[0].id);
    ASSERT_FALSE(second->asked.empty());
    EXPECT_TRUE(c.site().asked.empty());
    ComPtr<IOleClientSite> current;
    EXPECT_EQ(S_OK, c.object()->GetClientSite(current.put()));
    EXPECT_EQ(static_cast<IOleClientSite*>(second), current.get());
    current.reset();

    // Close and SetClientSite(null) let go of every host object, while the host still
    // holds the player.
    ComPtr<IOleObject> keep = c.object();
    EXPECT_EQ(S_OK, keep->Close(OLECLOSE_NOSAVE));
    EXPECT_EQ(S_OK, keep->SetClientSite(nullptr));
    EXPECT_EQ(1, second->Refs());
    EXPECT_EQ(1, c.site().deactivations);
    EXPECT_EQ(nullptr, c.PlayerWindow());
    keep.reset();
    second->Release();
    external->Release();
}
