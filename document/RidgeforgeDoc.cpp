#include "document/RidgeforgeDoc.h"
