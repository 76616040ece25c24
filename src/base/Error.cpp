#include "base/Error.h"

#include <cstring>

namespace vexaro {

std::string SystemReason(int errorNumber) { return std::strerror(errorNumber); }

} // namespace vexaro
