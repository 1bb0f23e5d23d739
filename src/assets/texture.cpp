#include "assets/texture.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "assets/load_failure.h"
#include "platform/bundle.h"
#include "platform/log.h"
#include "platform/png.h"

std::map<std::string, texture*>* texture::mLoadedTextures = nullptr;


texture* texture::LoadTexture(std::string filename) {
  if (!mLoadedTextures) mLoadedTextures = new std::map<std::string, texture*>();
  texture*& entry = (*mLoadedTextures)[filename];
  if (entry) {
    if (std::FILE* log = platform::loadLog()) std::fprintf(log, "Returning cached texture: %s\n", filename.c_str());
    return entry;
  }
  if (std::FILE* log = platform::loadLog()) std::fprintf(log, "Loading new texture: %s\n", filename.c_str());
  auto* t = new texture();
  t->SetupForPNG(filename);
  entry = t;
  return t;
}

void texture::SetupForPNG(std::string filename) {
  platform::PngReader png;
  if (!png.open(platform::picturePath(filename))) {
    if (png.outOfMemory()) fail_out_of_memory();
    fail_unable_to_load(filename);
  }

  // A header that claims more than GL can hold is not worth gigabytes of
  // memory: the image cannot be loaded. (The reader itself refuses sides over
  // platform::kMaxPictureSide.)
  GLint max_side = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_side);
  if (png.width() > max_side || png.height() > max_side) fail_unable_to_load(filename);
  width = png.width();
  height = png.height();

  const size_t bytes = static_cast<size_t>(height) * static_cast<size_t>(width) * 4;
  auto* pixels = static_cast<std::uint8_t*>(std::malloc(bytes));
  if (!pixels) fail_out_of_memory();
  if (!png.readPremultiplied(pixels)) {
    std::free(pixels);
    if (png.outOfMemory()) fail_out_of_memory();
    fail_unable_to_load(filename);
  }

  glGenTextures(1, &texId);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texId);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  while (glGetError() != GL_NO_ERROR) {
  }
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  std::free(pixels);
  // A texture GL could not take would simply be missing from the show.
  if (const GLenum e = glGetError(); e == GL_OUT_OF_MEMORY) {
    fail_out_of_memory();
  } else if (e != GL_NO_ERROR) {
    fail_unable_to_load(filename);
  }
}

void texture::BindTexture() {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texId);
}
