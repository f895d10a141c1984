// A binding header that reaches up into the catalogue: the layer check must
// reject it.
#include "binding/library.h"
#include "catalogue/range.h"
