# Shared by scripts/test and scripts/run: installs the Debian packages the build needs
# (only those missing, so a second run is quick) and configures and builds one tree.

HARBEX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

HARBEX_PACKAGES=(
  cmake ninja-build g++ lld pkg-config xz-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libtinyxml-dev libchardet-dev libudev-dev qt6-base-dev
  libavformat-dev libavcodec-dev libswscale-dev qt6-image-formats-plugins
  # Tools the tests drive as root: loop devices, partition tables, file systems.
  util-linux fdisk dosfstools mtools exfatprogs exfat-fuse ntfs-3g dmsetup
  # Stable fonts for the interface and a virtual display for its screenshots.
  fonts-dejavu-core xvfb xauth
  testdisk xorriso sleuthkit  # benchmark peers (TestDisk, fls) and the HFS+ benchmark images' maker
)

harbex_missing_packages() {
  local pkg
  for pkg in "${HARBEX_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
  done
}

harbex_install_packages() {
  local missing
  missing=$(harbex_missing_packages)
  [ -z "$missing" ] && return 0
  echo "Installing: $(echo $missing)"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

# harbex_build BUILD_DIR [cmake options...]
harbex_build() {
  local dir=$1
  shift
  cmake -S "$HARBEX_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
}
