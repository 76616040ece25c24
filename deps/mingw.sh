# The MinGW-w64 builds' libraries that Debian has no package of, built from Debian's own
# sources into $VEXARO_CACHE/mingw/ and kept there, and the two Windows build folders configured
# to use them. Sourced by ./run; every path is taken from the repository's root, where ./run
# works.
source "$(dirname "${BASH_SOURCE[0]}")/debian-source.sh"

# mingw_libjpeg <prefix>: Debian has no libjpeg for MinGW, so Debian's own libjpeg-turbo
# sources are built with the project's toolchain file, as a static library installed in
# <prefix>. A finished prefix is reused; an unfinished one never is.
mingw_libjpeg() {
  local prefix=$1
  [ -f "$prefix/.vexaro-complete" ] && return 0
  local started=$SECONDS work
  mkdir -p "$(dirname "$prefix")"
  rm -rf "$prefix".work.* # left by a run that was cut short
  work=$(mktemp -d "$prefix.work.XXXXXX")

  local src
  src=$(debian_source "$work" libjpeg-turbo) || return 1

  echo "run: building $(basename "$src") for MinGW into $prefix" >&2
  rm -rf "$prefix.partial"
  cmake -S "$src" -B "$work/build" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DREQUIRE_SIMD=ON \
    -DCMAKE_INSTALL_PREFIX="$prefix.partial" >/dev/null
  cmake --build "$work/build" -j2 >/dev/null
  cmake --install "$work/build" >/dev/null
  basename "$src" >"$prefix.partial/.vexaro-complete"
  rm -rf "$prefix"
  mv "$prefix.partial" "$prefix"
  rm -rf "$work"
  echo "run: libjpeg-turbo for MinGW ready after $((SECONDS - started)) s" >&2
}

# How Qt is built for the window program: static, Core, Gui, Widgets and Test only, without
# OpenGL. Debian's tarball leaves out the Wacom tablet sources (so no tablet events), and 6.4
# builds the Windows plugin without OpenGL only when dynamic OpenGL is off too. Direct 2D stays
# on: 6.4 compiles its DirectWrite font database only along with Direct 2D, while the Windows
# plugin refers to it whenever DirectWrite 3 is available, so without Direct 2D vexaro.exe
# does not link. (The Direct 2D platform plugin is built but not linked in.) Qt's own JPEG
# plugin would bring a second libjpeg next to ours, and its bundled zlib keeps Qt apart from
# the MinGW zlib the rest of the program links.
QT_OPTIONS=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF -DFEATURE_dbus=OFF
  -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_tabletevent=OFF
  -DFEATURE_jpeg=OFF -DFEATURE_system_zlib=OFF -DFEATURE_zstd=OFF
)

# qt_complete <prefix>: whether <prefix> holds a finished Qt install made with QT_OPTIONS.
qt_complete() {
  [ -f "$1/.vexaro-complete" ] && [ "$(tail -n 1 "$1/.vexaro-complete")" = "${QT_OPTIONS[*]}" ]
}

# mingw_qt <prefix>: Debian has no Qt for MinGW, so Debian's own qt6-base sources are built with
# the project's toolchain file and the host Qt tools, as static libraries installed in <prefix>.
# The build takes a quarter of an hour or more, so a finished install is reused; one that is
# unfinished, or made with other options, is built again. Its log stays beside the prefix.
mingw_qt() {
  local prefix=$1
  qt_complete "$prefix" && return 0
  # One build at a time: a second run (from another worktree) waits, then takes the install.
  mkdir -p "$(dirname "$prefix")"
  local lock
  exec {lock}>"$prefix.lock"
  if ! flock -n "$lock"; then
    echo "run: waiting for another run that builds Qt into $prefix" >&2
    flock "$lock"
  fi
  if qt_complete "$prefix"; then
    exec {lock}>&-
    return 0
  fi
  local started=$SECONDS work src log="$prefix.log"
  rm -rf "$prefix".work.* # left by a run that was cut short
  work=$(mktemp -d "$prefix.work.XXXXXX")
  src=$(debian_source "$work" qt6-base) || return 1

  echo "run: building $(basename "$src") for MinGW into $prefix (15-30 minutes; log in $log)" >&2
  # Installed in its final place (Qt's CMake files are written for it); the stamp comes last.
  rm -rf "$prefix"
  if ! { cmake -S "$src" -B "$work/build" -G Ninja -Wno-dev \
           -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
           -DQT_HOST_PATH=/usr -DQt6HostInfo_DIR=/usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo \
           -DCMAKE_INSTALL_PREFIX="$prefix" "${QT_OPTIONS[@]}" &&
         echo "run: Qt configured after $((SECONDS - started)) s" >&3 &&
         cmake --build "$work/build" -j2 &&
         cmake --install "$work/build"; } 3>&2 >"$log" 2>&1; then
    tail -n 20 "$log" >&2
    echo "run: the Qt build failed; the whole log is $log" >&2
    return 1
  fi
  printf '%s\n%s\n' "$(basename "$src")" "${QT_OPTIONS[*]}" >"$prefix/.vexaro-complete"
  rm -rf "$work"
  exec {lock}>&-
  echo "run: static Qt for MinGW ready after $((SECONDS - started)) s" >&2
}

# configure_windows: libjpeg-turbo for MinGW, then build/windows configured to use it.
configure_windows() {
  local jpeg="$VEXARO_CACHE/mingw/libjpeg-turbo"
  mingw_libjpeg "$jpeg"
  if [ ! -f build/windows/build.ninja ] ||
     ! grep -qx "CMAKE_PREFIX_PATH:[A-Z]*=$jpeg" build/windows/CMakeCache.txt; then
    cmake --preset windows -DCMAKE_PREFIX_PATH="$jpeg" >/dev/null
  fi
}

# configure_windows_app: libjpeg-turbo and the static Qt for MinGW, then build/windows-app.
configure_windows_app() {
  local jpeg="$VEXARO_CACHE/mingw/libjpeg-turbo" qt="$VEXARO_CACHE/mingw/qt6-static"
  mingw_libjpeg "$jpeg"
  mingw_qt "$qt"
  # A Qt built again since the last configure (other options) asks for a fresh one.
  if [ ! -f build/windows-app/build.ninja ] ||
     ! grep -qx "CMAKE_PREFIX_PATH:[A-Z]*=$jpeg;$qt" build/windows-app/CMakeCache.txt ||
     [ "$qt/.vexaro-complete" -nt build/windows-app/CMakeCache.txt ]; then
    cmake --preset windows-app --fresh -DCMAKE_PREFIX_PATH="$jpeg;$qt" >/dev/null
  fi
}
