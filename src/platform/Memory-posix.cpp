#include "platform/Memory.h"

#include <malloc.h>

namespace platform {

void TuneAllocatorForLargeTrees() {
#if defined(M_MXFAST)
  // A refused setting leaves the default: slower, never wrong.
  (void)mallopt(M_MXFAST, 0);
#endif
}

}  // namespace platform
