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

}  // namespace platform
