#pragma once
// Hands a queued download from one installer process to the others. The sender writes the
// request into a temporary file, maps the file under a name every installer knows and
// broadcasts a registered window message; each installer's main window that receives the
// message opens the mapping by that name and reads the request from it.
#include <windows.h>

#include <vector>

#include "dialog/progress/QueueRequest.h"

namespace stagehand {

class QueueHandOff {
public:
    // The registered window message (registered when the module is loaded).
    static UINT Message() noexcept;

    // Sends a request block (QueueRequest::Format) to every top-level window and returns
    // what the broadcast returned. E_FAIL when the file can't be written or the mapping
    // can't be made (also when another installer's hand-off keeps the mapping's name for
    // longer than a few seconds). A window that does not answer within a few seconds is
    // passed over. The temporary file stays in the temporary folder.
    static HRESULT Send(const std::vector<wchar_t>& block);

    // Reads the request of the hand-off in progress. E_FAIL when there is no mapping, its
    // view can't be read or the request is malformed (request then unchanged).
    static HRESULT Receive(QueueRequest& request);
};

}  // namespace stagehand
