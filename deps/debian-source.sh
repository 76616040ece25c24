# Debian's own sources of a library, for the builds that Debian has no package of (the
# MinGW-w64 builds' libjpeg-turbo and Qt). Sourced by ./run and by the scripts beside it; every
# path is taken from the repository's root, where ./run works.

# debian_source <work> <package> [<version> <sha256 of its .dsc>]: unpacks Debian's sources of
# <package> in <work>, fetched through a private list of source archives beside the machine's
# binary ones (the machine's own apt setup stays as it is), and prints the source folder. With a
# version, that version is fetched and its .dsc must have the hash given; dpkg-source then checks
# every file the .dsc lists against the .dsc's own checksums as it unpacks them.
debian_source() {
  local work=$1 package=$2 version=${3:-} dsc_hash=${4:-}
  local apt="$work/apt" f
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
  : >"$apt/sources.list.d/vexaro-src.list"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    if [ -f "$f" ]; then
      sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$apt/sources.list.d/vexaro-src.list"
    fi
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    if [ -f "$f" ]; then
      sed 's/^Types:.*$/Types: deb-src/' "$f" >"$apt/sources.list.d/$(basename "$f")"
    fi
  done
  local aptopts=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
                 -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=$(id -un)")
  echo "run: fetching Debian's $package sources" >&2
  # A source archive that lists no sources only warns here; the next step needs the package.
  apt-get "${aptopts[@]}" -qq update >/dev/null 2>&1 || true
  if [ -z "$version" ]; then
    (cd "$work" && apt-get "${aptopts[@]}" -qq source "$package" >/dev/null) || return 1
  else
    (cd "$work" && apt-get "${aptopts[@]}" -qq source --download-only "$package=$version" >/dev/null) || {
      echo "run: Debian's archive no longer offers $package $version" >&2
      return 1
    }
    local dsc="$work/${package}_${version#*:}.dsc"
    if ! echo "$dsc_hash  $dsc" | sha256sum --check --quiet --status; then
      echo "run: $(basename "$dsc") does not have the recorded SHA-256 $dsc_hash" >&2
      return 1
    fi
    # The .dsc's signature cannot be checked without Debian's keyring; its recorded hash stands in.
    if ! (cd "$work" && dpkg-source -x "$dsc" >"$work/dpkg-source.log" 2>&1); then
      cat "$work/dpkg-source.log" >&2
      return 1
    fi
  fi
  local src
  src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1)
  [ -n "$src" ] || { echo "run: apt-get source $package gave no source folder" >&2; return 1; }
  echo "$src"
}
