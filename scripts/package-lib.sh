# shellcheck shell=bash disable=SC2034
# Sourced by the scripts that check the package as it is installed
# (scripts/package, scripts/multiuser-check); not run on its own. The caller
# is in the source tree's top folder.
#
#   make_packages DIR BUILD_FIRST
#     builds the tree in DIR first when BUILD_FIRST is 1, then makes the .deb
#     and the .tar.gz there with cpack; sets PKG_DEB and PKG_TGZ. Returns 1
#     (cpack's messages on standard error) when a package cannot be made.
#   unpack_package DEB SCRATCH
#     unpacks DEB into SCRATCH/root (dpkg -x) and its maintainer scripts into
#     SCRATCH/control, as a scratch root that nothing of the real system
#     sees; sets PKG_ROOT and PKG_CONTROL.
#   configure_package
#     runs the unpacked postinst's configure against PKG_ROOT (DPKG_ROOT),
#     as dpkg would after installing (root only).
#   add_dialout_user NAME [HOME]
#     makes a system user NAME whose only group besides its own is dialout,
#     with HOME (made for the user alone, 0700) as its home folder, else
#     none; it is removed by remove_users. Returns 1 when the user cannot be
#     made or its groups are not those.
#   remove_users
#     removes every user add_dialout_user made, and what they left in /tmp
#     (for an EXIT trap).
#   run_as WHO HOME DIR COMMAND...
#     runs COMMAND in folder DIR as user WHO ("" for the user running the
#     script) with a clean environment (PATH, HOME, LANG, TZ=UTC) and no
#     display server, and returns its exit status.

PKG_DEB=""
PKG_TGZ=""
PKG_ROOT=""
PKG_CONTROL=""
PKG_USERS=()

make_packages() {
  local dir=$1 build_first=$2 generator out
  if [ "$build_first" -eq 1 ]; then
    scripts/deps --dev
    cmake -S . -B "$dir" -G Ninja >/dev/null
    cmake --build "$dir" -j 2 >/dev/null
  fi
  rm -f "$dir"/quendra_*.deb "$dir"/quendra-*-Linux.tar.gz
  for generator in DEB TGZ; do
    if ! out=$(cd "$dir" && cpack -G "$generator" 2>&1); then
      echo "$out" >&2
      return 1
    fi
  done
  PKG_DEB=$(ls "$dir"/quendra_*.deb)
  PKG_TGZ=$(ls "$dir"/quendra-*-Linux.tar.gz)
}

unpack_package() {
  local deb=$1 scratch=$2
  PKG_ROOT=$scratch/root
  PKG_CONTROL=$scratch/control
  dpkg -x "$deb" "$PKG_ROOT"
  dpkg-deb -e "$deb" "$PKG_CONTROL"
}

configure_package() {
  DPKG_ROOT=$PKG_ROOT "$PKG_CONTROL/postinst" configure
}

add_dialout_user() {
  local name=$1 home=${2-}
  if [ -n "$home" ]; then
    useradd --system --no-create-home --home-dir "$home" --shell /usr/sbin/nologin -G dialout "$name" || return 1
    PKG_USERS+=("$name")
    mkdir -p "$home"
    chown "$name:" "$home"
    chmod 0700 "$home"
  else
    useradd --system --no-create-home --shell /usr/sbin/nologin -G dialout "$name" || return 1
    PKG_USERS+=("$name")
  fi
  [ "$(id -Gn "$name" | tr ' ' '\n' | grep -vx "$name" | tr '\n' ' ')" = "dialout " ]
}

remove_users() {
  local name
  for name in "${PKG_USERS[@]}"; do
    # What the user's runs left in the shared temporary folder (lock files).
    find /tmp -maxdepth 1 -user "$name" -exec rm -rf {} + 2>/dev/null || true
    userdel "$name" 2>/dev/null || true
  done
  PKG_USERS=()
}

run_as() {
  local who=$1 home=$2 cwd=$3
  shift 3
  local envs=(env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 TZ=UTC)
  if [ -n "$who" ]; then
    (cd "$cwd" && runuser -u "$who" -- "${envs[@]}" "$@")
  else
    (cd "$cwd" && "${envs[@]}" "$@")
  fi
}
