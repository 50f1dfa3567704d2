// The UnRAR source includes the WMI header by its Windows spelling; the mingw-w64
// headers are all lower case.
#include <wbemidl.h>
