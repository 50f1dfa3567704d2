#pragma once

#include "dialog/module/StagehandTypes.h"

#include "common/TableDispatch.h"

// Unpacks RAR archives through bin\UnRAR.dll and reports progress as a whole-number
// percentage: as the OnProgress event and as a value other threads may poll. One
// object per process; the byte counters behind the percentage are process-wide.

class CUnRar : public common::ComObjectRoot,
    public common::TableDispatch<CUnRar, IUnRar>,
    public common::ConnectionPointContainerImpl,
    public common::ProvideClassInfo2Impl {
public:
    CUnRar();
    ~CUnRar() override;

    COM_INTERFACE_MAP_BEGIN(IUnRar)
    COM_INTERFACE(IUnRar)
    COM_INTERFACE2(IDispatch, IUnRar)
    COM_INTERFACE(IConnectionPointContainer)
    COM_INTERFACE(IProvideClassInfo2)
    COM_INTERFACE2(IProvideClassInfo, IProvideClassInfo2)
    COM_INTERFACE_MAP_END()

    // IUnRar
    STDMETHODIMP Unpack(BSTR archive, BSTR destination) override;
    STDMETHODIMP PercentComplete(INT *percent) override;

    // The late-bound members: names, DISPIDs, argument counts and conversions.
    static const common::DispatchTable<CUnRar> kDispatchTable;

protected:
    common::ConnectionPoint* const* Points(size_t& count) noexcept override;

private:
    // Unpack's work; may throw std::bad_alloc.
    HRESULT UnpackArchive(BSTR archive, BSTR destination);
    // The library's progress callback; userData is the object.
    static int CALLBACK ProgressCallback(UINT msg, LPARAM userData, LPARAM p1, LPARAM p2);
    // A chunk of `bytes` was unpacked: update the percentage and tell every sink.
    void OnDataProcessed(ULONG bytes);
    // OnDataProcessed where no exception may pass: the callback and the end of a walk.
    void ReportBytes(ULONG bytes) noexcept;

    // Bytes the library reported unpacked during the current Unpack.
    ULONG reported_ = 0;
    common::CriticalSection percentLock_;
    INT percent_ = 0;  // guarded by percentLock_
    common::ConnectionPoint propertyNotify_;
    common::ConnectionPoint events_;
    common::ConnectionPoint* points_[2];
};
