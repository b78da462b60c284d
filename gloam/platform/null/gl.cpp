// OpenGL and GLU with nothing beneath them: every entry point the engine
// calls (gl_calls.h) counts the call and does nothing else, and a read-back
// leaves its buffer as it was. The definitions are weak where the object
// format has weak definitions that an archive offers (not Windows'), so
// that a test's recording GL, linked beside the null backend, takes their
// place.

#include "gloam/platform/gl_calls.h"
#include "gloam/platform/null/null_standin.h"

// Each entry point ignores its arguments.
#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace {

// Counting also keeps every call a real call with an effect the optimiser
// must keep, at about the cost of the cheapest real driver entry.
std::uint64_t calls = 0;

}  // namespace

std::uint64_t gloam::nullstandin::glCallCount() { return calls; }

#ifdef _WIN32
#define GLOAM_REPLACEABLE
#else
#define GLOAM_REPLACEABLE __attribute__((weak))
#endif

extern "C" {
#define GLOAM_NULL_GL(ret, name, params, ...)      \
    GLOAM_REPLACEABLE ret GLAPIENTRY name params { \
        ++calls;                                   \
        return ret();                              \
    }
GLOAM_GL_CALLS(GLOAM_NULL_GL)
#undef GLOAM_NULL_GL
}  // extern "C"
#undef GLOAM_REPLACEABLE
