#include "shell/desktop/window_player.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "platform/bundle.h"
#include "platform/log.h"
#include "platform/png.h"
#include "platform/run_loop.h"
#include "process/files.h"
#include "shell/main_interface.h"

extern char** environ;

namespace {

bool is_directory(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

// The value of `name` in a user-dirs file: NAME="$HOME/Pictures" or
// NAME="/absolute/path", with \" \\ \$ and \` standing for the character.
std::optional<std::string> user_dir(const std::string& file, const std::string& name, const std::string& home) {
  platform::FileContents contents;
  std::string error;
  if (!platform::read_regular_file(file, &contents, &error, 64 * 1024)) return std::nullopt;
  const std::string_view text(contents.data.get(), contents.size);
  std::optional<std::string> found;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    if (line.substr(0, name.size() + 2) != name + "=\"") continue;
    line.remove_prefix(name.size() + 2);
    std::string value;
    bool closed = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '"') {
        closed = true;
        break;
      }
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      value += line[i];
    }
    if (!closed) continue;
    if (value == "$HOME" || value.rfind("$HOME/", 0) == 0) {
      if (home.empty()) continue;
      value = home + value.substr(5);
    } else if (value.empty() || value[0] != '/') {
      continue;
    }
    found = value;  // the last line naming it counts, as for the shell
  }
  return found;
}

// "velmora-0041.980" for 41.98 s.
std::string screenshot_stem(double moment) {
  std::string name = screenshot_name(moment);
  return name.substr(0, name.size() - 4);
}

}  // namespace

std::string pictures_folder() {
  if (const char* folder = std::getenv("XDG_PICTURES_DIR"); folder && *folder) return folder;
  const char* home_env = std::getenv("HOME");
  const std::string home = home_env ? home_env : "";
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string config_dir = config && *config ? config : home.empty() ? "" : home + "/.config";
  if (!config_dir.empty()) {
    const auto folder = user_dir(config_dir + "/user-dirs.dirs", "XDG_PICTURES_DIR", home);
    if (folder && is_directory(*folder)) return *folder;
  }
  if (!home.empty() && is_directory(home + "/Pictures")) return home + "/Pictures";
  return ".";
}

std::string free_screenshot_path(const std::string& folder, double moment, const std::string& kind) {
  const std::string stem = folder + "/" + screenshot_stem(moment) + kind;
  std::string path = stem + ".png";
  for (int n = 2;; ++n) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return path;
    path = stem + "-" + std::to_string(n) + ".png";
  }
}

WindowControls::WindowControls(platform::Window& window, std::function<DisplayState()> state,
                               std::function<void(const PlayerCommand&)> on_command)
    : window_(window), onCommand_(std::move(on_command)), display_(std::move(state)), band_(display_) {
  window_.setOverlay(&band_);
  window_.onKey = [this](const platform::KeyPress& key) {
    if (const auto control = control_for_key(key)) carryOut(*control);
  };
  window_.onPointer = [this](const platform::PointerEvent& event) {
    if (event.kind == platform::PointerEvent::Move) {
      // The display shows while the pointer moves; drawn anew only when it
      // was not shown.
      if (!display_.shown()) redraw_ = true;
      display_.show();
    }
    if (const auto control = pointer_.handle(event, bar())) carryOut(*control);
  };
  window_.onEventsHandled = [this] { endOfTurn(); };
  window_.onClose = [this] { onCommand_(PlayerCommand{PlayerCommand::Quit}); };
}

WindowControls::~WindowControls() {
  window_.setOverlay(nullptr);
  window_.onKey = nullptr;
  window_.onPointer = nullptr;
  window_.onEventsHandled = nullptr;
  window_.onClose = nullptr;
}

ProgressBar WindowControls::bar() const { return band_.bar(window_.shownWidth(), window_.shownHeight()); }

void WindowControls::showDisplay() {
  display_.show();
  window_.redraw();
}

void WindowControls::say(const std::string& note) {
  display_.say(note);
  redraw_ = true;
}

void WindowControls::carryOut(const Control& control) {
  switch (control.kind) {
    case Control::Player:
      onCommand_(control.command);
      if (control.command.kind != PlayerCommand::Quit) {
        display_.show(control.command);
        redraw_ = true;
      }
      break;
    case Control::ToggleFullscreen:
      toggleFullscreen_ = !toggleFullscreen_;
      break;
    case Control::ShowDisplay:
      showDisplay();
      break;
    case Control::CopyLink:  // a window has no address to link to
      break;
    case Control::LeaveFullscreenOrQuit:
      // Out of full screen first (as the turn's toggles leave it); only a
      // window is closed by it.
      if (window_.fullscreen() != toggleFullscreen_) {
        toggleFullscreen_ = !toggleFullscreen_;
      } else {
        onCommand_(PlayerCommand{PlayerCommand::Quit});
      }
      break;
  }
}

// Once the turn's events are handled: the drag's seek, full screen, and the
// window drawn again, each once.
void WindowControls::endOfTurn() {
  // The bar is worked out only for a drag that moved: most turns have none.
  if (pointer_.pending()) {
    if (const auto control = pointer_.endOfTurn(bar())) carryOut(*control);
  }
  if (toggleFullscreen_) {
    toggleFullscreen_ = false;
    window_.toggleFullscreen();
  }
  if (redraw_) {
    redraw_ = false;
    window_.redraw();
  }
}

SharpScreenshot::~SharpScreenshot() {
  if (timer_) timer_->invalidate();
  if (errors_ >= 0) close(errors_);
  // A picture being drawn is finished by its own process.
}

void SharpScreenshot::take(double moment, int render_scale, platform::Orientation orientation) {
  if (child_ > 0) {
    say_("Still saving " + std::filesystem::path(path_).filename().string());
    return;
  }
  path_ = free_screenshot_path(pictures_folder(), moment, "-" + std::to_string(render_scale) + "x");
  const std::string file = std::filesystem::path(path_).filename().string();
  char at[48];
  std::snprintf(at, sizeof at, "%.9f", moment);
  std::vector<std::string> args = {"velmora",    "still", "--at", at, "--out", path_, "--render-scale",
                                   std::to_string(render_scale), "--assets", platform::bundlePath()};
  if (orientation == platform::Orientation::Portrait) args.push_back("--portrait");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // Its one line on failure comes back through a pipe, to be said in turn.
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    platform::NSLog("cannot save %s: %s", path_.c_str(), std::strerror(errno));
    say_("Could not save " + file);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (failed != 0) {
    close(pipe_fds[0]);
    platform::NSLog("cannot save %s: %s", path_.c_str(), std::strerror(failed));
    say_("Could not save " + file);
    return;
  }
  fcntl(pipe_fds[0], F_SETFL, O_NONBLOCK);
  child_ = pid;
  errors_ = pipe_fds[0];
  say_("Saving " + file);
  timer_ = platform::NSTimer::scheduledTimerWithTimeInterval(0.1, [this] { poll(); }, true);
}

void SharpScreenshot::poll() {
  int status = 0;
  if (waitpid(child_, &status, WNOHANG) != child_) return;
  child_ = -1;
  timer_->invalidate();
  timer_ = nullptr;
  std::string said;
  char buffer[1024];
  ssize_t n = 0;
  while ((n = read(errors_, buffer, sizeof buffer)) > 0) said.append(buffer, static_cast<std::size_t>(n));
  close(errors_);
  errors_ = -1;
  const std::string file = std::filesystem::path(path_).filename().string();
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    platform::NSLog("saved %s", path_.c_str());
    say_("Saved " + file);
    return;
  }
  // Its own lines say why, without their name in front (the log adds it).
  std::size_t at = 0;
  while (at < said.size()) {
    const std::size_t end = std::min(said.find('\n', at), said.size());
    std::string line = said.substr(at, end - at);
    at = end + 1;
    if (line.rfind("velmora: ", 0) == 0) line.erase(0, 9);
    if (!line.empty()) platform::NSLog("%s", line.c_str());
  }
  if (said.empty()) platform::NSLog("cannot save %s", path_.c_str());
  say_("Could not save " + file);
}

WindowPlayer::WindowPlayer(Player& player, platform::Window& window, MainInterface& ui, bool choose_scale)
    : player_(player),
      window_(window),
      controls_(window, [&player] { return player.display(); },
                [&player](const PlayerCommand& c) { player.handle(c); }),
      sharp_([this](const std::string& note) { controls_.say(note); }) {
  platform::UIApplication* app = &ui.application();
  window.onActivity = [app](bool active) { app->setActive(active); };
  platform::NSRunLoop::mainRunLoop().setEventSource(&window);
  player.onScreenshot = [this, &window](double moment) {
    const std::string path = free_screenshot_path(pictures_folder(), moment);
    const std::string file = std::filesystem::path(path).filename().string();
    std::string error;
    if (platform::writePng(path, window.pictureWidth(), window.pictureHeight(), window.picture().data(), &error)) {
      platform::NSLog("saved %s", path.c_str());
      controls_.say("Saved " + file);
    } else {
      platform::NSLog("%s", error.c_str());
      controls_.say("Could not save " + file);
    }
  };
  player.onSharpScreenshot = [this, &window](double moment, int render_scale) {
    sharp_.take(moment, render_scale, window.orientation());
  };
  if (choose_scale) {
    window.onResize = [&window, &ui](int w, int h) {
      const int scale = ui.renderScale();
      ui.setRenderScale(scale_for(w, h, window.pictureWidth() / scale, window.pictureHeight() / scale));
    };
  }
}

WindowPlayer::~WindowPlayer() {
  player_.onScreenshot = nullptr;
  player_.onSharpScreenshot = nullptr;
  platform::NSRunLoop::mainRunLoop().setEventSource(nullptr);
  window_.onActivity = nullptr;
  window_.onResize = nullptr;
}
