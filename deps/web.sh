# The browser page's libraries, zlib and libjpeg-turbo, built for WebAssembly with Debian's
# emscripten from Debian's own sources (Debian's emscripten carries no library of its own and
# cannot download one) into build/web-deps/, and the page's build folder configured to use them.
# Sourced by ./run; every path is taken from the repository's root, where ./run works.
source "$(dirname "${BASH_SOURCE[0]}")/debian-source.sh"

# The sources, pinned: the versions Debian 12 builds its own zlib1g and libjpeg62-turbo from (the
# JPEG bytes of the page must be those of the command line), with the SHA-256 of their .dsc.
WEB_ZLIB=(zlib 1:1.2.13.dfsg-1 3fa1e6b2fc525062aa88207dda52fed8e045373c809d362fe8a2bfbf7cf515a8)
WEB_LIBJPEG=(libjpeg-turbo 1:2.1.5-2 d718ead0dfbcbc8523665c02a7f7152e31039ded641d022868722623bb3b486d)
WEB_DEPS=build/web-deps

# Debian's emscripten runs its JavaScript tools with the machine's node, which must find Debian's
# node modules (acorn) where a node from elsewhere does not look.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# web_library <name> <package> <version> <dsc sha256> <build function>: the library <name>
# built once into $WEB_DEPS/<name>; the build function gets the source folder and the prefix.
# A finished prefix of the same version is reused; an unfinished one never is.
web_library() {
  local name=$1 package=$2 version=$3 hash=$4 builder=$5
  local prefix="$PWD/$WEB_DEPS/$name"
  [ -f "$prefix/.vexaro-complete" ] && [ "$(cat "$prefix/.vexaro-complete")" = "$package $version" ] && return 0
  local started=$SECONDS work src
  mkdir -p "$WEB_DEPS"
  rm -rf "$prefix".work.* "$prefix.partial"
  work=$(mktemp -d "$prefix.work.XXXXXX")
  src=$(debian_source "$work" "$package" "$version" "$hash") || return 1
  echo "run: building $(basename "$src") for WebAssembly into $prefix" >&2
  mkdir -p "$prefix.partial/include" "$prefix.partial/lib"
  if ! "$builder" "$src" "$prefix.partial" >"$work/build.log" 2>&1; then
    tail -n 20 "$work/build.log" >&2
    echo "run: the WebAssembly build of $package failed" >&2
    return 1
  fi
  echo "$package $version" >"$prefix.partial/.vexaro-complete"
  rm -rf "$prefix"
  mv "$prefix.partial" "$prefix"
  rm -rf "$work"
  echo "run: $name for WebAssembly ready after $((SECONDS - started)) s" >&2
}

# zlib's own configure with emscripten's compiler; the static library and its two headers.
build_web_zlib() {
  local src=$1 prefix=$2
  (cd "$src" && CFLAGS=-O2 emconfigure ./configure --static && emmake make -j2 libz.a) &&
    cp "$src/libz.a" "$prefix/lib/" && cp "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
}

# libjpeg-turbo's CMake build with emscripten's toolchain, static, in plain C (no SIMD code is
# there for WebAssembly), otherwise with the options Debian builds it with. CMake's type-size
# check cannot read WebAssembly objects (it finds a size_t of 9 bytes), so the sizes are given.
build_web_libjpeg() {
  local src=$1 prefix=$2
  emcmake cmake -S "$src" -B "$src/build-web" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DHAVE_SIZE_T=TRUE -DSIZE_T=4 -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4 \
    -DCMAKE_INSTALL_PREFIX="$prefix" &&
    cmake --build "$src/build-web" -j2 --target jpeg-static &&
    cp "$src/build-web/libjpeg.a" "$prefix/lib/" &&
    cp "$src/build-web/jconfig.h" "$src/jmorecfg.h" "$src/jpeglib.h" "$src/jerror.h" "$prefix/include/"
}

# configure_web: both libraries, then build/web-core configured with emscripten to use them.
configure_web() {
  web_library zlib "${WEB_ZLIB[@]}" build_web_zlib
  web_library libjpeg-turbo "${WEB_LIBJPEG[@]}" build_web_libjpeg
  if [ ! -f build/web-core/build.ninja ]; then
    cmake --preset web >/dev/null
  fi
}
