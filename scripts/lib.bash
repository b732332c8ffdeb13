# Sourced by the scripts: what several of them do alike.

# Runs a command as root: through sudo unless this is root already.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs Debian packages with apt-get, quietly; sudo would drop a variable set before it, so it
# is set for apt-get alone.
apt_install() {
  echo "Installing: $*"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "$@" >/dev/null
}

# The Debian archive apt already uses (its main component), such as http://deb.debian.org/debian.
debian_mirror() {
  apt-cache policy | awk '$3 ~ /^[a-z]+\/main$/ && $2 ~ /^https?:/ { print $2; exit }'
}

# Configures a Release build of this tree in the folder $1; further arguments go to CMake and may
# override any of these.
configure() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}

# Makes a minimal Debian root of the suite $2 (trixie, bookworm) at $1, for the architecture $3
# (this machine's by default; another runs through qemu), unless an intact one is there.
make_root() {
  if [ -f "$1/.corvane-root-ready" ] && chroot "$1" /bin/true 2>/dev/null; then
    return
  fi
  bash scripts/setup debootstrap
  local mirror
  mirror=$(debian_mirror)
  echo "Making a Debian $2 ${3:-} root in $1 from $mirror"
  rm -rf "$1"
  mkdir -p "$(dirname "$1")"
  debootstrap --variant=minbase ${3:+--arch="$3"} "$2" "$1" "$mirror" >"$1.log" 2>&1 ||
    { tail -n 20 "$1.log"; exit 1; }
  touch "$1/.corvane-root-ready"
}

# Runs the shell command $2 in the root $1, with /dev, /proc, /sys and a fresh /tmp, in a private
# mount namespace, so nothing stays mounted whatever happens.
in_root() {
  cp /etc/resolv.conf "$1/etc/resolv.conf"
  unshare --mount --fork /bin/bash -euo pipefail -c '
    mount --rbind /dev "$1/dev"
    mount -t proc proc "$1/proc"
    mount --rbind /sys "$1/sys"
    mount -t tmpfs tmpfs "$1/tmp"
    chroot "$1" /bin/bash -euo pipefail -c "$2"
  ' in-root "$1" "$2"
}
