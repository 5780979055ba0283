#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need, when missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config python3
  qt6-base-dev qt6-multimedia-dev qt6-translations-l10n qt6-wayland
  libgtest-dev
  libx11-dev libxcb1-dev libxcb-xkb-dev libxcb-keysyms1-dev libxcb-xfixes0-dev libxkbcommon-dev
  clang libclang-rt-14-dev
  dovecot-pop3d dovecot-imapd openssl ca-certificates
  xvfb xauth xdotool xclip trayer fonts-noto-cjk imagemagick x11-utils
  pulseaudio pulseaudio-utils
  dunst dbus-daemon dbus-bin systemd  # notify_e2e: dunst on a private bus; busctl for dunstctl
  librsvg2-bin desktop-file-utils dpkg-dev
  sway waybar mako-notifier grim wtype dbus-user-session  # wayland_e2e: a headless sway desktop
  qtkeychain-qt6-dev gnome-keyring libsecret-tools  # passwords in the keyring; a real one in tests
  xdg-utils  # OAuth 2.0 sign-in: the user's browser
  python3-dbus python3-gi  # push_wake_e2e: logind and NetworkManager faked on a private system bus
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
