// OpenGL ES 1.1 where the browser's differs. Emscripten's fixed-function
// emulation on WebGL 2 carries out the show's calls, except a few that WebGL
// has no place for or that the emulation leaves out; the definitions here
// stand in for the emulation's own under the same names (which it allows:
// its own stay reachable as emscripten_gl*), so no code above the platform
// layer knows the difference.
#include <GLES/gl.h>
#include <GLES/glext.h>
#include <emscripten.h>

#include <unordered_set>

extern "C" {
void emscripten_glTexParameteri(GLenum target, GLenum pname, GLint param);
void emscripten_glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const void* pixels);
void emscripten_glTexSubImage2D(GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width,
                                GLsizei height, GLenum format, GLenum type, const void* pixels);
void emscripten_glDeleteTextures(GLsizei n, const GLuint* textures);
void emscripten_glGenerateMipmap(GLenum target);
void emscripten_glHint(GLenum target, GLenum mode);
void emscripten_glTexEnvf(GLenum target, GLenum pname, GLfloat param);
void emscripten_glTexEnvi(GLenum target, GLenum pname, GLint param);
GLboolean emscripten_glIsEnabled(GLenum cap);
void emscripten_glGetBooleanv(GLenum pname, GLboolean* params);
void emscripten_glGetIntegerv(GLenum pname, GLint* params);
void emscripten_glGetFloatv(GLenum pname, GLfloat* params);
void emscripten_glGetPointerv(GLenum pname, void** params);
void emscripten_glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void emscripten_glNormalPointer(GLenum type, GLsizei stride, const void* pointer);
void emscripten_glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void emscripten_glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void emscripten_glDrawArrays(GLenum mode, GLint first, GLsizei count);
}

namespace {

constexpr GLenum kBlendSrcRgb = 0x80C9;
constexpr GLenum kBlendDstRgb = 0x80C8;

// Textures that regenerate their mipmaps when level 0 changes.
std::unordered_set<GLuint>& generating() {
  static std::unordered_set<GLuint> textures;
  return textures;
}

GLuint bound_texture() {
  GLint bound = 0;
  emscripten_glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  return static_cast<GLuint>(bound);
}

void regenerate_mipmaps(GLenum target, GLint level) {
  if (target == GL_TEXTURE_2D && level == 0 && generating().contains(bound_texture())) {
    emscripten_glGenerateMipmap(target);
  }
}

// The client arrays as the program gave them. The emulation copies arrays
// that are not interleaved into one buffer to draw them, and then keeps that
// buffer's address as the arrays' place: an array that is drawn again
// without being given anew (re-enabled, or beside a new one) would be read
// from the copy. So every draw gives the emulation all four arrays again.
struct ClientArray {
  GLint size = 0;
  GLenum type = 0;
  GLsizei stride = 0;
  const void* pointer = nullptr;
  bool given = false;
};
ClientArray gVertexArray, gNormalArray, gColorArray, gTexCoordArray;

void give_arrays_again() {
  const ClientArray& v = gVertexArray;
  const ClientArray& n = gNormalArray;
  const ClientArray& c = gColorArray;
  const ClientArray& t = gTexCoordArray;
  if (v.given) emscripten_glVertexPointer(v.size, v.type, v.stride, v.pointer);
  if (n.given) emscripten_glNormalPointer(n.type, n.stride, n.pointer);
  if (c.given) emscripten_glColorPointer(c.size, c.type, c.stride, c.pointer);
  if (t.given) emscripten_glTexCoordPointer(t.size, t.type, t.stride, t.pointer);
}

// The emulation keeps the current colour in its own record.
EM_JS(void, current_colour, (float* rgba), { HEAPF32.set(GLImmediate.clientColor, rgba >> 2); });

// The kind of texturing enabled on unit 0 (the show's only one), as the
// emulation's texture environment records it.
EM_JS(int, texture_unit_type, (), { return GLImmediate.TexEnvJIT.getTexUnitType(0); });

}  // namespace

extern "C" {

// WebGL has no GL_GENERATE_MIPMAP: the request is remembered, and the
// mipmaps are made after each change to level 0.
void glTexParameteri(GLenum target, GLenum pname, GLint param) {
  if (pname == GL_GENERATE_MIPMAP) {
    if (param) {
      generating().insert(bound_texture());
    } else {
      generating().erase(bound_texture());
    }
    return;
  }
  emscripten_glTexParameteri(target, pname, param);
}

void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const void* pixels) {
  emscripten_glTexImage2D(target, level, internalformat, width, height, border, format, type, pixels);
  regenerate_mipmaps(target, level);
}

void glTexSubImage2D(GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width, GLsizei height,
                     GLenum format, GLenum type, const void* pixels) {
  emscripten_glTexSubImage2D(target, level, xoffset, yoffset, width, height, format, type, pixels);
  regenerate_mipmaps(target, level);
}

void glDeleteTextures(GLsizei n, const GLuint* textures) {
  for (GLsizei i = 0; i < n; ++i) generating().erase(textures[i]);
  emscripten_glDeleteTextures(n, textures);
}

// WebGL always interpolates with perspective: the hint has nothing to say.
void glHint(GLenum target, GLenum mode) {
  if (target == GL_PERSPECTIVE_CORRECTION_HINT) return;
  emscripten_glHint(target, mode);
}

// The emulation takes the texture environment's mode as an integer only.
void glTexEnvf(GLenum target, GLenum pname, GLfloat param) {
  if (pname == GL_TEXTURE_ENV_MODE) {
    emscripten_glTexEnvi(target, pname, static_cast<GLint>(param));
    return;
  }
  emscripten_glTexEnvf(target, pname, param);
}

void glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
  gVertexArray = {size, type, stride, pointer, true};
  emscripten_glVertexPointer(size, type, stride, pointer);
}

void glNormalPointer(GLenum type, GLsizei stride, const void* pointer) {
  gNormalArray = {3, type, stride, pointer, true};
  emscripten_glNormalPointer(type, stride, pointer);
}

void glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
  gColorArray = {size, type, stride, pointer, true};
  emscripten_glColorPointer(size, type, stride, pointer);
}

// The show draws with texture unit 0 alone.
void glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
  gTexCoordArray = {size, type, stride, pointer, true};
  emscripten_glTexCoordPointer(size, type, stride, pointer);
}

void glDrawArrays(GLenum mode, GLint first, GLsizei count) {
  give_arrays_again();
  emscripten_glDrawArrays(mode, first, count);
}

// The queries the emulation does not answer itself, or answers from its copy.
GLboolean glIsEnabled(GLenum cap) {
  switch (cap) {
    case GL_VERTEX_ARRAY:
    case GL_NORMAL_ARRAY:
    case GL_COLOR_ARRAY:
    case GL_TEXTURE_COORD_ARRAY: {
      GLboolean enabled = GL_FALSE;
      emscripten_glGetBooleanv(cap, &enabled);
      return enabled;
    }
    case GL_TEXTURE_2D:
      return texture_unit_type() == GL_TEXTURE_2D ? GL_TRUE : GL_FALSE;
    default:
      return emscripten_glIsEnabled(cap);
  }
}

void glGetIntegerv(GLenum pname, GLint* params) {
  switch (pname) {
    case GL_BLEND_SRC:
      pname = kBlendSrcRgb;
      break;
    case GL_BLEND_DST:
      pname = kBlendDstRgb;
      break;
    case GL_NORMAL_ARRAY_TYPE:
      *params = static_cast<GLint>(gNormalArray.type);
      return;
    case GL_NORMAL_ARRAY_STRIDE:
      *params = gNormalArray.stride;
      return;
    default:
      break;
  }
  emscripten_glGetIntegerv(pname, params);
}

void glGetFloatv(GLenum pname, GLfloat* params) {
  if (pname == GL_CURRENT_COLOR) {
    current_colour(params);
    return;
  }
  emscripten_glGetFloatv(pname, params);
}

void glGetPointerv(GLenum pname, void** params) {
  switch (pname) {
    case GL_VERTEX_ARRAY_POINTER:
      *params = const_cast<void*>(gVertexArray.pointer);
      return;
    case GL_NORMAL_ARRAY_POINTER:
      *params = const_cast<void*>(gNormalArray.pointer);
      return;
    case GL_COLOR_ARRAY_POINTER:
      *params = const_cast<void*>(gColorArray.pointer);
      return;
    case GL_TEXTURE_COORD_ARRAY_POINTER:
      *params = const_cast<void*>(gTexCoordArray.pointer);
      return;
    default:
      emscripten_glGetPointerv(pname, params);
  }
}

}  // extern "C"
