#pragma once
// The bundle directory: where every asset file of the show lies.
#include <string>

namespace platform {

// The directory that holds the show's files, without a trailing slash.
const std::string& bundlePath();
void setBundlePath(std::string path);

// The default bundle: "bundle" beside the running executable (the build
// tree), else the installed data directory. Empty when neither exists.
std::string defaultBundlePath(const std::string& installed_dir);

// Pictures drawn at a higher resolution: a folder of them (inside the bundle)
// that picturePath prefers, name by name, to the bundle's own. Empty: none.
void setPictureFolder(std::string folder);
// The file to read for the named picture.
std::string picturePath(const std::string& name);

// The folder of the bundle's high-resolution pictures ("4x"), whether or not
// it exists.
std::string highResolutionFolder();

}  // namespace platform
