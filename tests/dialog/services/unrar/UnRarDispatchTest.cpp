// The unpacker's own name table and dispatcher, as a script reaches them.
#include <gtest/gtest.h>

#include "UnRarFixture.h"

using unrartest::UnRarTest;

namespace {
HRESULT RawInvoke(IDispatch* d, DISPID id, DISPPARAMS* params, VARIANT* result = nullptr, EXCEPINFO* excep = nullptr,
                  UINT* argErr = nullptr) {
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, result, excep, argErr);
}
}  // namespace

TEST_F(UnRarTest, NamesAreMatchedWithoutRegardToCase) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"uNPACK"), const_cast<LPOLESTR>(L"PERCENTCOMPLETE"),
                        const_cast<LPOLESTR>(L"Extract"), const_cast<LPOLESTR>(L"Unpack")};
    DISPID ids[4] = {-7, -7, -7, -7};
    EXPECT_HR(S_OK, unrar_->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(1, ids[0]);
    EXPECT_EQ(2, ids[1]);
    ids[0] = ids[1] = -7;
    EXPECT_HR(DISP_E_UNKNOWNNAME, unrar_->GetIDsOfNames(IID_NULL, names, 4, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(1, ids[0]);
    EXPECT_EQ(2, ids[1]);
    EXPECT_EQ(-7, ids[2]);  // the unknown name and every later one stay unwritten
    EXPECT_EQ(-7, ids[3]);
    UINT count = 9;
    EXPECT_HR(S_OK, unrar_->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
}

TEST_F(UnRarTest, InvokeChecksItsArguments) {
    EXPECT_HR(DISP_E_BADVARTYPE, RawInvoke(unrar_.get(), 2, nullptr));
    VARIANT three[3];
    for (auto& v : three) {
        ::VariantInit(&v);
        V_VT(&v) = VT_I4;
    }
    DISPPARAMS dp = {three, nullptr, 3, 0};
    EXPECT_HR(DISP_E_BADPARAMCOUNT, RawInvoke(unrar_.get(), 1, &dp));
    dp.cArgs = 1;
    EXPECT_HR(DISP_E_BADPARAMCOUNT, RawInvoke(unrar_.get(), 1, &dp));
    EXPECT_HR(DISP_E_BADPARAMCOUNT, RawInvoke(unrar_.get(), 2, &dp));
    dp.cArgs = 0;
    EXPECT_HR(DISP_E_MEMBERNOTFOUND, RawInvoke(unrar_.get(), 3, &dp));
    DISPID named = 5;
    dp.rgdispidNamedArgs = &named;
    dp.cNamedArgs = 1;
    dp.cArgs = 1;
    EXPECT_HR(DISP_E_NONAMEDARGS, RawInvoke(unrar_.get(), 2, &dp));

    // Arguments that can't become strings: the error index names the argument.
    VARIANT args[2];
    ::VariantInit(&args[0]);
    ::VariantInit(&args[1]);
    V_VT(&args[0]) = VT_BSTR;  // destination (the last argument comes first)
    V_BSTR(&args[0]) = ::SysAllocString(L"dest");
    V_VT(&args[1]) = VT_UNKNOWN;  // archive path
    V_UNKNOWN(&args[1]) = nullptr;
    DISPPARAMS two = {args, nullptr, 2, 0};
    UINT argErr = 77;
    EXPECT_HR(DISP_E_TYPEMISMATCH, RawInvoke(unrar_.get(), 1, &two, nullptr, nullptr, &argErr));
    EXPECT_EQ(1u, argErr);
    std::swap(args[0], args[1]);
    argErr = 77;
    EXPECT_HR(DISP_E_TYPEMISMATCH, RawInvoke(unrar_.get(), 1, &two, nullptr, nullptr, &argErr));
    EXPECT_EQ(0u, argErr);
    ::VariantClear(&args[0]);
    ::VariantClear(&args[1]);
}

TEST_F(UnRarTest, NumbersAreConvertedToStringsAndFailuresReturnedUnchanged) {
    VARIANT args[2];
    ::VariantInit(&args[0]);
    ::VariantInit(&args[1]);
    V_VT(&args[0]) = VT_I4;
    V_I4(&args[0]) = 5;
    V_VT(&args[1]) = VT_I4;
    V_I4(&args[1]) = 12345;
    DISPPARAMS two = {args, nullptr, 2, 0};
    EXCEPINFO excep;
    ZeroMemory(&excep, sizeof excep);
    EXPECT_HR(E_UNEXPECTED, RawInvoke(unrar_.get(), 1, &two, nullptr, &excep));
    EXPECT_EQ(E_UNEXPECTED, excep.scode);
    ::SysFreeString(excep.bstrSource);
    ::SysFreeString(excep.bstrDescription);
    ::SysFreeString(excep.bstrHelpFile);
    // The stand-in was asked to open the archive "12345".
    EXPECT_EQ("open 0 clean\nopen 1 clean\n", harness::ReadFile(dir_ / L"12345.log"));
}

TEST_F(UnRarTest, PercentCompleteStartsAtZeroAsI4) {
    common::Variant v = harness::CallOk(unrar_.get(), L"PercentComplete");
    EXPECT_EQ(VT_I4, V_VT(v.get()));
    EXPECT_EQ(0, V_I4(v.get()));
}
