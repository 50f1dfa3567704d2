#include "suitebridge/SehGuard.h"

#if !defined(__i386__)
#error "The exception guard is written for 32-bit x86 (frame-based exception handling)."
#endif

namespace suitebridge {
namespace {

// An exception registration record (link, handler) followed by the resume point.
struct GuardFrame {
    GuardFrame* next;
    void* handler;
    void* resume[5];  // __builtin_setjmp buffer
};

GuardFrame* ChainHead() {
    GuardFrame* head;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(GuardFrame* head) {
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory");
}

// RtlUnwind(target, 0, record, 0): runs the unwind handlers of every frame above ours
// and leaves our frame at the head of the chain. Some versions of RtlUnwind do not
// keep the callee-saved registers, so they are kept here around the call.
void UnwindTo(void* target, EXCEPTION_RECORD* record) {
    void* fn = reinterpret_cast<void*>(&::RtlUnwind);
    __asm__ __volatile__(
        "pushl %%ebp\n\t"
        "pushl %%ebx\n\t"
        "pushl %%esi\n\t"
        "pushl %%edi\n\t"
        "pushl $0\n\t"
        "pushl %1\n\t"
        "pushl $0\n\t"
        "pushl %0\n\t"
        "call *%2\n\t"
        "popl %%edi\n\t"
        "popl %%esi\n\t"
        "popl %%ebx\n\t"
        "popl %%ebp"
        : "+a"(target), "+d"(record), "+c"(fn)
        :
        : "memory", "cc");
}

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* establisher,
                                                      CONTEXT*, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    UnwindTo(establisher, record);
    __builtin_longjmp(static_cast<GuardFrame*>(establisher)->resume, 1);
}

}  // namespace

__attribute__((noinline)) HRESULT CallGuarded(HRESULT (*call)(void* context), void* context, bool* raised) {
    if (raised) *raised = false;
    GuardFrame frame;
    frame.next = ChainHead();
    frame.handler = reinterpret_cast<void*>(&GuardHandler);
    if (__builtin_setjmp(frame.resume)) {
        // Back from the handler: the unwind left our frame at the head; remove it.
        SetChainHead(static_cast<volatile GuardFrame&>(frame).next);
        if (bool* volatile flag = raised) *flag = true;
        return kExceptionResult;
    }
    SetChainHead(&frame);
    HRESULT hr = call(context);
    SetChainHead(frame.next);
    return hr;
}

}  // namespace suitebridge
