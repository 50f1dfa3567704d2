#pragma once
// Everything a stagehand class needs: the interfaces generated from stagehand.idl
// and the shared COM support.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include "stagehand.h"

#include "common/Bstr.h"
#include "common/ClassInfo.h"
#include "common/ComObject.h"
#include "common/ComPtr.h"
#include "common/ConnectionPoint.h"
#include "common/CriticalSection.h"
#include "common/DebugLog.h"
#include "common/Dispatch.h"
#include "common/Handle.h"
#include "common/HResult.h"
#include "common/Variant.h"
