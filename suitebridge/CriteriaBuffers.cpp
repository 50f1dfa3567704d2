#include "suitebridge/CriteriaBuffers.h"

#include <objbase.h>

#include <wchar.h>

#include "suitebridge/CodePage.h"
#include "common/ComPtr.h"

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

namespace {

// Size in bytes of a task-allocator block, or 0 when the allocator cannot tell.
size_t BlockSize(void* block) {
    common::ComPtr<IMalloc> malloc;
    if (FAILED(::CoGetMalloc(MEMCTX_TASK, malloc.put())) || !malloc) return 0;
    const SIZE_T size = malloc->GetSize(block);
    return size == static_cast<SIZE_T>(-1) ? 0 : size;
}

}  // namespace

bool CriteriaBuffers::Text(int index, HeapText<char>& out) const {
    wchar_t* text = current_[index];
    size_t length = 0;
    if (text) {
        size_t size = BlockSize(text);
        length = size ? ::wcsnlen(text, size / sizeof(wchar_t)) : ::wcslen(text);
    }
    return ToNarrow(text, length, out);
}

}  // namespace suitebridge
