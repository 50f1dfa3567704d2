#include "CriteriaBuffers.h"

#include <objbase.h>

#include <wchar.h>

#include "CodePage.h"

namespace suitebridge {

CriteriaBuffers::CriteriaBuffers() {
    for (int i = 0; i < 2; ++i) {
        original_[i] = static_cast<wchar_t*>(::CoTaskMemAlloc(kBytes));
        if (original_[i]) ::ZeroMemory(original_[i], kBytes);
        current_[i] = original_[i];
    }
}

CriteriaBuffers::~CriteriaBuffers() {
    ::CoTaskMemFree(current_[0]);
    if (current_[1] != current_[0]) ::CoTaskMemFree(current_[1]);
}

bool CriteriaBuffers::Text(int index, HeapText<char>& out) const {
    const wchar_t* text = current_[index];
    size_t length = 0;
    if (text)
        length = text == original_[0] || text == original_[1] ? ::wcsnlen(text, kBytes / sizeof(wchar_t))
                                                              : ::wcslen(text);
    return ToNarrow(text, length, out);
}

}  // namespace suitebridge
