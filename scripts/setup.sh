# Shared set-up of the README commands: installs missing Debian packages.
kes_packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine64 xvfb imagemagick tmux python3 clang-14 libclang-rt-14-dev zlib1g-dev
  faketime libfaketime nsis zip unzip)
# Wine's 32-bit loader, which runs the 32-bit deliverables, and the 32-bit
# libfaketime for its programs; a machine that cannot have them still
# builds and runs everything else.
kes_packages_i386=(wine32:i386 libfaketime:i386)

kes_missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

kes_install_packages() {
  local missing missing32 sudo=
  mapfile -t missing < <(kes_missing "${kes_packages[@]}")
  mapfile -t missing32 < <(kes_missing "${kes_packages_i386[@]}")
  [ ${#missing[@]} -eq 0 ] && [ ${#missing32[@]} -eq 0 ] && return 0
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  if [ ${#missing32[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  echo "== installing: ${missing[*]} ${missing32[*]}"
  $sudo apt-get update -q
  if [ ${#missing[@]} -gt 0 ]; then
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" ||
      $sudo apt-get install -y -q --no-install-recommends -t bookworm "${missing[@]}"
  fi
  if [ ${#missing32[@]} -gt 0 ]; then
    local p
    for p in "${missing32[@]}"; do
      $sudo apt-get install -y -q --no-install-recommends "$p" ||
        echo "== could not install $p: the 32-bit tier will say what it cannot run"
    done
  fi
  return 0
}
