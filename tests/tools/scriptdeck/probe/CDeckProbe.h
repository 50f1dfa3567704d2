#pragma once
// The bridge's test object (DeckProbe.Probe): reports exactly what arrived, hands back
// values of every automation type, fails on request with an exception record, fires
// events from the calling thread or another one, and counts the live objects so a
// script can see collection release them.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>

#include "deckprobe.h"

#include "common/Bstr.h"
#include "common/ClassInfo.h"
#include "common/ComObject.h"
#include "common/ConnectionPoint.h"
#include "common/Dispatch.h"
#include "common/Variant.h"

class CDeckProbe : public common::ComObjectRoot,
                   public common::TypeLibDispatch<IDeckProbe>,
                   public common::ConnectionPointContainerImpl,
                   public common::ProvideClassInfo2Impl {
public:
    CDeckProbe();
    ~CDeckProbe() override;

    COM_INTERFACE_MAP_BEGIN(IDeckProbe)
    COM_INTERFACE(IDeckProbe)
    COM_INTERFACE2(IDispatch, IDeckProbe)
    COM_INTERFACE(IConnectionPointContainer)
    COM_INTERFACE(IProvideClassInfo2)
    COM_INTERFACE2(IProvideClassInfo, IProvideClassInfo2)
    COM_INTERFACE_MAP_END()

    // Fail goes through here: the exception record is filled by hand.
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

    // IDeckProbe
    STDMETHODIMP Describe(VARIANT value, BSTR* text) override;
    STDMETHODIMP DescribeRef(VARIANT* value, BSTR* text) override;
    STDMETHODIMP Echo(VARIANT value, VARIANT* copy) override;
    STDMETHODIMP Numbers(INT i, UINT u, LONG l, ULONG ul, USHORT us, BSTR* text) override;
    STDMETHODIMP Negate(VARIANT_BOOL value, VARIANT_BOOL* result) override;
    STDMETHODIMP Half(DOUBLE value, DOUBLE* result) override;
    STDMETHODIMP Concat(BSTR first, BSTR* second, BSTR* text) override;
    STDMETHODIMP Split(BSTR text, SAFEARRAY** parts) override;
    STDMETHODIMP Join(SAFEARRAY* parts, BSTR separator, BSTR* text) override;
    STDMETHODIMP Matrix(LONG rows, LONG columns, VARIANT* matrix) override;
    STDMETHODIMP Divide(LONG dividend, LONG divisor, LONG* quotient, LONG* remainder, VARIANT_BOOL* exact) override;
    STDMETHODIMP Swap(BSTR* text, VARIANT* value) override;
    STDMETHODIMP Greet(BSTR name, BSTR title, BSTR* text) override;
    STDMETHODIMP Fail(LONG code, BSTR description) override;
    STDMETHODIMP Fire(BSTR event, INT count) override;
    STDMETHODIMP FireFromThread(BSTR event, INT count) override;
    STDMETHODIMP StartTimer(UINT milliseconds) override;
    STDMETHODIMP PostQuit(INT code) override;
    STDMETHODIMP CreateChild(BSTR name, IDispatch** child) override;
    STDMETHODIMP NameOf(IDispatch* other, BSTR* name) override;
    STDMETHODIMP ThreadId(ULONG* id) override;
    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP put_Name(BSTR name) override;
    STDMETHODIMP get_Count(USHORT* count) override;
    STDMETHODIMP put_Count(USHORT count) override;
    STDMETHODIMP get_Items(VARIANT* items) override;
    STDMETHODIMP put_Items(VARIANT items) override;
    STDMETHODIMP get_Ticks(LONG* ticks) override;
    STDMETHODIMP get_LiveObjects(LONG* count) override;
    STDMETHODIMP get_Label(BSTR* text) override;

protected:
    common::ConnectionPoint* const* Points(size_t& count) noexcept override;

private:
    // Fires `event` count times to every sink, on the calling thread.
    HRESULT FireNow(const std::wstring& event, INT count);
    static DWORD WINAPI FireThread(void* context);

    common::Bstr name_;
    USHORT count_ = 0;
    common::Variant items_;
    common::ConnectionPoint events_;
    common::ConnectionPoint* points_[1];
};
