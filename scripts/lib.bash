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

# The Debian archive apt already uses: the address of its main component.
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

# The version, written once: in the project() line of CMakeLists.txt (the changelog's must match).
project_version() {
  sed -n 's/^project(Corvane VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt
}

# The files of this tree as released, NUL-separated and sorted: git's in a clone; in an unpacked
# source tarball, every file but the build folders, dist/ and the release stamp.
tree_files() {
  if [ -e .git ]; then
    git ls-files -z
  else
    find . -type f ! -path './build*' ! -path './dist/*' ! -path ./RELEASE -printf '%P\0' |
      LC_ALL=C sort -z
  fi
}

# Windows builds of GLFW and GLEW, and GLM's headers, from Debian's own source packages at pinned
# versions (apt checks their signatures), hardened as the viewer is, with the three libraries'
# licences and the sources' checksums; kept in CORVANE_CACHE (default /var/cache/corvane, or
# ~/.cache/corvane when that is not writable) under a name drawn from the versions, the flags, the
# compiler's version, this recipe and its toolchain file, and reused once complete; exports their
# folder as CORVANE_WINDOWS_DEPS.
windows_sources=(glfw3=3.3.8-1 glew=2.2.0-4 glm=0.9.9.8+ds-6)
windows_flags="-O2 -fstack-protector-strong -D_FORTIFY_SOURCE=2"
windows_deps() {
  local cache=${CORVANE_CACHE:-/var/cache/corvane} key
  mkdir -p "$cache" 2>/dev/null && [ -w "$cache" ] || cache="$HOME/.cache/corvane"
  key=$({ echo "${windows_sources[*]} $windows_flags"; x86_64-w64-mingw32-gcc-posix --version
    declare -f windows_deps; cat cmake/mingw-w64.cmake; } | sha256sum)
  export CORVANE_WINDOWS_DEPS="$cache/windows-${key:0:16}"
  local deps=$CORVANE_WINDOWS_DEPS
  [ -f "$deps/.ready" ] && [ -f "$deps/sources.checksums" ] && return
  if ! apt-get source --print-uris "${windows_sources[0]}" >/dev/null 2>&1; then
    local mirror
    mirror=$(debian_mirror)
    echo "Adding the source packages of the archive apt uses to its sources"
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' "$mirror" \
      "$(. /etc/os-release && echo "$VERSION_CODENAME")" \
      /usr/share/keyrings/debian-archive-keyring.gpg |
      as_root tee /etc/apt/sources.list.d/corvane-sources.sources >/dev/null
    as_root apt-get update -qq
  fi
  local work glfw_src glew_src glm_src
  work=$(mktemp -d)
  (cd "$work" && apt-get source -qq "${windows_sources[@]}" >apt-source.log 2>&1) ||
    { cat "$work/apt-source.log"; echo "Could not fetch the Windows libraries' Debian sources"; exit 1; }
  glfw_src=$(echo "$work"/glfw3-*/)
  glew_src=$(echo "$work"/glew-*/)
  glm_src=$(echo "$work"/glm-*/)
  rm -rf "$deps"
  mkdir -p "$deps/include/GL" "$deps/lib" "$deps/notices"
  (cd "$work" && for file in *.dsc *.tar.*; do
    echo "$(sha256sum <"$file" | cut -d' ' -f1) $(stat -c %s "$file") $file"
  done) >"$deps/sources.checksums"
  local flags="$windows_flags -ffile-prefix-map=$work=."
  CFLAGS=$flags cmake -S "$glfw_src" -B "$work/glfw-build" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=None \
    -DGLFW_BUILD_EXAMPLES=OFF -DGLFW_BUILD_TESTS=OFF -DGLFW_BUILD_DOCS=OFF \
    -DCMAKE_INSTALL_PREFIX="$deps" >/dev/null
  cmake --build "$work/glfw-build" --parallel "$(nproc)" --target install >/dev/null
  # GLEW is one C file; built static, without GLU, as Corvane uses it.
  # shellcheck disable=SC2086 # the flags are words
  x86_64-w64-mingw32-gcc-posix $flags -DGLEW_STATIC -DGLEW_NO_GLU \
    -I"$glew_src/include" -c "$glew_src/src/glew.c" -o "$work/glew.o"
  # Named as CMake's FindGLEW looks for a static GLEW on Windows; D: no dates in the archive.
  x86_64-w64-mingw32-ar rcsD "$deps/lib/glew32s.lib" "$work/glew.o"
  cp "$glew_src"/include/GL/{glew.h,wglew.h} "$deps/include/GL/"
  # GLM is headers and a CMake package: installed, not built.
  cmake -S "$glm_src" -B "$work/glm-build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$deps" >/dev/null
  cmake --install "$work/glm-build" >/dev/null
  cp "$glfw_src/LICENSE.md" "$deps/notices/GLFW.txt"
  cp "$glew_src/LICENSE.txt" "$deps/notices/GLEW.txt"
  cp "$glm_src/copying.txt" "$deps/notices/GLM.txt"
  rm -rf "$work"
  touch "$deps/.ready"
}

# Makes a minimal Debian root of the suite $2 (forky, trixie, bookworm) at $1, for the
# architecture $3 (this machine's by default; another runs through qemu), unless an intact one is
# there. A suite newer than this debootstrap knows is made with its script for sid, as Debian's
# own newer debootstrap makes it.
make_root() {
  if [ -f "$1/.corvane-root-ready" ] && chroot "$1" /bin/true 2>/dev/null; then
    return
  fi
  bash scripts/setup debootstrap
  local mirror script=/usr/share/debootstrap/scripts/$2
  mirror=$(debian_mirror)
  [ -e "$script" ] || script=/usr/share/debootstrap/scripts/sid
  echo "Making a Debian $2 ${3:-} root in $1 from the archive apt uses"
  rm -rf "$1"
  mkdir -p "$(dirname "$1")"
  debootstrap --variant=minbase ${3:+--arch="$3"} "$2" "$1" "$mirror" "$script" >"$1.log" 2>&1 ||
    { tail -n 20 "$1.log"; exit 1; }
  # The archive's copy of a suite still in testing can be kept past the date its Release file
  # says it is good until, which a real testing machine, kept up to date, never sees: apt in this
  # root alone takes it all the same.
  [ "$2" != forky ] ||
    echo 'Acquire::Check-Valid-Until "false";' >"$1/etc/apt/apt.conf.d/99corvane-archive-copy"
  touch "$1/.corvane-root-ready"
}

# A login shell's bare environment on a fresh machine, for a command in a root: no display, nothing
# of this one's.
bare='env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb'

# Makes $2 a throw-away copy of the clean root $1, with this tree in /corvane.
scratch_root() {
  rm -rf "$2"
  cp -a "$1" "$2"
  # A throw-away copy needs no crash safety: dpkg need not wait for each file to reach the disk.
  echo force-unsafe-io >"$2/etc/dpkg/dpkg.cfg.d/corvane-unsafe-io"
  mkdir -p "$2/corvane"
  tree_files | tar --null -T - -c | tar -x -C "$2/corvane"
}

# Runs the check $5 of this tree (tests/desktop/run-viewer, tests/package/install-run-remove) on
# the package $2, with any further arguments, in a throw-away copy of the clean root $1, with the
# frame probe and close_window of the build folder $3 beside the package and the folder $4, if not
# empty, as apt's package cache.
check_on_clean_root() {
  local scratch=$1-scratch
  scratch_root "$1" "$scratch"
  mkdir -p "$scratch/corvane/build-viewer"
  cp "$3/libframe_probe.so" "$3/close_window" "$2" "$scratch/corvane/build-viewer/"
  in_root "$scratch" "bash /corvane/$5 /corvane/build-viewer/${2##*/} ${*:6}" "$4" ||
    { local status=$?; rm -rf "$scratch"; return "$status"; }
  rm -rf "$scratch"
}

# Runs the shell command $2 in the root $1, with /dev, /proc, /sys and a fresh /tmp, and the
# folder $3, if given, as apt's package cache, in private mount and PID namespaces, so nothing
# stays mounted or running whatever happens: all its processes end with it, or once it has run
# for root_limit seconds.
root_limit=3600
in_root() {
  cp /etc/resolv.conf "$1/etc/resolv.conf"
  local status=0 started=$SECONDS
  timeout --foreground -s KILL "$root_limit" \
    unshare --mount --pid --fork --mount-proc --kill-child /bin/bash -euo pipefail -c '
    mount --rbind /dev "$1/dev"
    mount -t proc proc "$1/proc"
    mount --rbind /sys "$1/sys"
    mount -t tmpfs tmpfs "$1/tmp"
    [ -z "$3" ] || mount --bind "$3" "$1/var/cache/apt/archives"
    chroot "$1" /bin/bash -euo pipefail -c "$2"
  ' in-root "$1" "$2" "${3:-}" || status=$?
  [ $((SECONDS - started)) -lt "$root_limit" ] ||
    echo "FAIL: a command in $1 still ran after $root_limit s, and was stopped" >&2
  return "$status"
}
