#include "platform/bundle.h"

#include <filesystem>
#include <system_error>

namespace platform {
namespace {
std::string gBundlePath = ".";
std::string gPictureFolder;
}

const std::string& bundlePath() { return gBundlePath; }

void setBundlePath(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  gBundlePath = std::move(path);
}

void setPictureFolder(std::string folder) { gPictureFolder = std::move(folder); }

std::string picturePath(const std::string& name) {
  if (!gPictureFolder.empty()) {
    std::error_code ec;
    std::string path = gPictureFolder + "/" + name;
    if (std::filesystem::exists(path, ec)) return path;
  }
  return gBundlePath + "/" + name;
}

std::string highResolutionFolder() { return gBundlePath + "/4x"; }

std::string defaultBundlePath(const std::string& installed_dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const fs::path beside = exe.parent_path() / "bundle";
    if (fs::is_directory(beside, ec)) return beside.string();
    // An installed program finds its data relative to itself first.
    const fs::path relative = exe.parent_path().parent_path() / "share" / "velmora";
    if (fs::is_directory(relative, ec)) return relative.string();
  }
  if (!installed_dir.empty() && fs::is_directory(installed_dir, ec)) return installed_dir;
  return {};
}

}  // namespace platform
