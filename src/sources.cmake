# The show's sources, shared by the desktop program (src/CMakeLists.txt) and
# the browser page (web/CMakeLists.txt), relative to src/. The two differ only
# in their flavour's folders: the desktop's (platform/desktop/ and
# shell/desktop/) are listed below, the browser's (platform/web/ and
# shell/web/) by the web build.
set(VELMORA_SHOW_SOURCES
  platform/application.cpp
  platform/bundle.cpp
  platform/clock.cpp
  platform/frame.cpp
  platform/gl.cpp
  platform/gl_state.cpp
  platform/log.cpp
  platform/png.cpp
  platform/run_loop.cpp
  assets/load_failure.cpp
  assets/mesh.cpp
  assets/text_scanner.cpp
  assets/texture.cpp
  engine/asset_setup.cpp
  engine/glow_pass.cpp
  engine/loading_screen.cpp
  engine/overlay.cpp
  engine/screen_tables.cpp
  engine/timeline.cpp
  scenes/closing_picture.cpp
  scenes/drill_opening.cpp
  scenes/drill_rig.cpp
  scenes/glowing_cube.cpp
  scenes/greetings.cpp
  scenes/metaballs.cpp
  scenes/wobbling_mesh.cpp
  shell/app_delegate.cpp
  shell/clock_text.cpp
  shell/controls.cpp
  shell/eagl_view.cpp
  shell/hand_off.cpp
  shell/main_interface.cpp
  shell/offline_show.cpp
  shell/on_screen_display.cpp
  shell/player.cpp
)

# Files and signals, which the asset generator shares too.
set(VELMORA_PROCESS_SOURCES process/files.cpp process/signals.cpp)

# The desktop's flavour: EGL without a window system, libpng, FFmpeg's
# decoder and SDL's audio device behind the soundtrack player, SDL's window;
# and above them the soundtrack player, the player at the window and its
# on-screen display drawn with Cairo.
set(VELMORA_DESKTOP_PLATFORM_SOURCES
  platform/desktop/clock_system.cpp
  platform/desktop/eagl.cpp
  platform/desktop/fd_avio.cpp
  platform/desktop/png.cpp
  platform/desktop/sound_file.cpp
  platform/desktop/sound_output.cpp
  platform/desktop/window.cpp
  shell/desktop/av_player.cpp
  shell/desktop/display_band.cpp
  shell/desktop/terminal_status.cpp
  shell/desktop/window_player.cpp
)
