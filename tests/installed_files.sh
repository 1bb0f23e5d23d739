# shellcheck shell=bash
# The files an install lays down under its prefix, one a line: the program,
# its bundle, and what a desktop needs. Sourced by the install and package tests.
installed_files() {
  local side name
  printf '%s\n' bin/velmora share/applications/velmora.desktop share/bash-completion/completions/velmora \
    share/doc/velmora/LICENSE share/man/man1/velmora.1 share/metainfo/org.velmora.Velmora.metainfo.xml \
    share/icons/hicolor/scalable/apps/velmora.svg share/velmora/music.mp3 share/velmora/icon.png
  for side in 16 24 32 48 64 128 256 512; do echo "share/icons/hicolor/${side}x${side}/apps/velmora.png"; done
  for name in background_scene1 bubble credits grass grass1 greets korvane_final loading logo murelbg mureltextur \
    small_black splat treetrunk_cube_textur treetrunk_textur; do echo "share/velmora/$name.png"; done
  for name in background_scene1 credits grass grass1 greets korvane_final loading logo murelbg mureltextur \
    treetrunk_cube_textur treetrunk_textur; do echo "share/velmora/4x/$name.png"; done
  for name in drill_arm_connector drill_body drill_head grass hammer_left hammer_right murel pipe_hi pipe_lo treetrunk \
    treetrunk_cube wheel_large wheel_small; do echo "share/velmora/$name.obj"; done
}
