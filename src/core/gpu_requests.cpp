// The GPU path's requests from the shell.
#include "core/gpu_requests.h"

namespace korvel {

GpuRequests g_gpu_requests;

}  // namespace korvel
