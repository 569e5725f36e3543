# Shared set-up of the README commands: installs missing Debian packages.
kes_packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine64 xvfb imagemagick tmux python3 clang-14 libclang-rt-14-dev zlib1g-dev
  libfaketime)

kes_install_packages() {
  local missing=()
  for p in "${kes_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" ||
    $sudo apt-get install -y -q --no-install-recommends -t bookworm "${missing[@]}"
}
