#pragma once

// The one way our code reaches GL. Entry points beyond GL 1.1 (framebuffers, shaders, buffers) are called
// through the prototypes of <GL/glext.h>: libGL (glvnd) exports every GL function and dispatches it to the
// vendor library of the context that EGL made current on the calling thread, so no function-pointer loading
// is needed. Include this header before anything else that may pull in <GL/gl.h>.
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
