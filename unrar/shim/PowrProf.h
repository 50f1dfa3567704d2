// The UnRAR source includes the power-management header by its Windows spelling;
// the mingw-w64 headers are all lower case.
#include <powrprof.h>
