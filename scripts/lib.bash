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
