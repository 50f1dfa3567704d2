// The servers link their own raisers for the C++ library's errors. A misused container
// must still raise an exception the COM boundaries catch, carrying the library's
// message, and an allocation failure must still be std::bad_alloc.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

template <typename F>
std::string WhatRaised(F f) {
    try {
        f();
    } catch (const std::bad_alloc&) {
        return "bad_alloc";
    } catch (const std::exception& e) {
        return e.what();
    }
    return "nothing";
}

TEST(LibraryErrors, MisusedContainersRaiseCatchableErrorsWithTheLibrarysMessage) {
    const wchar_t* volatile none = nullptr;
    EXPECT_NE(WhatRaised([&] { std::wstring s(none); }).find("null"), std::string::npos);

    std::vector<int> three(3);
    EXPECT_NE(WhatRaised([&] { (void)three.at(3); }).find("range_check"), std::string::npos);

    std::wstring text(L"abc");
    EXPECT_NE(WhatRaised([&] { (void)text.substr(4); }).find("substr: __pos (which is 4) > this->size() (which is 3)"),
              std::string::npos);

    const std::string tooLong = WhatRaised([&] { text.reserve(text.max_size() + 1); });
    EXPECT_NE(tooLong, "nothing");
    EXPECT_NE(tooLong, "bad_alloc");

    // An allocation the heap refuses stays an allocation failure.
    EXPECT_EQ(WhatRaised([] { std::vector<char> v; v.reserve(v.max_size()); }), "bad_alloc");
}

}  // namespace
