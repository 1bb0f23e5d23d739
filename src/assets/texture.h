#pragma once
// A PNG from the bundle directory as an OpenGL ES texture, loaded once per
// file name and kept for the life of the process.
#include <map>
#include <string>

#include "platform/gl.h"

class texture {
 public:
  // The record for the named file, loading it on first use. Never null: a file
  // that cannot be loaded ends the process with status -1.
  static texture* LoadTexture(std::string filename);
  // Decodes the file into a new GL texture described by this record.
  void SetupForPNG(std::string filename);
  // Enables 2D texturing and binds this texture.
  void BindTexture();

  GLuint texId;
  GLint width;
  GLint height;

  // Every loaded texture by file name, compared byte by byte; created on the
  // first load and never emptied.
  static std::map<std::string, texture*>* mLoadedTextures;
};
