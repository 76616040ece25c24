// Placeholder until the BMP codec lands.
#include "BmpCodec.h"
