// The one definition of the identifiers that the generated header declares.
#include <initguid.h>

#include "Tamberlo_h.h"
