# The files of the Windows packages (the zip and the installer) and the lists that the
# installer script, vexaro.nsi, takes them from. Sourced by ./run; every path is taken from the
# repository's root, where ./run works, and SOURCE_DATE_EPOCH dates the archives' entries.

# windows_text <file> <copy>: a text file with Windows line ends.
windows_text() {
  sed 's/\r\{0,1\}$/\r/' "$1" >"$2"
}

# windows_stage <folder> <program.exe>...: the files of a Windows package: the programs,
# stripped; README, LICENSE and THIRD-PARTY as text files; and in licenses\ the full terms of
# what the programs carry, from the Debian packages they were built from (THIRD-PARTY names them).
windows_stage() {
  local folder=$1 exe entry
  shift
  mkdir -p "$folder/licenses"
  for exe in "$@"; do
    x86_64-w64-mingw32-strip -o "$folder/$(basename "$exe")" "$exe"
  done
  windows_text packaging/windows/README.txt "$folder/README.txt"
  windows_text LICENSE "$folder/LICENSE.txt"
  windows_text THIRD-PARTY "$folder/THIRD-PARTY.txt"
  for entry in LGPL-2.1:/usr/share/common-licenses/LGPL-2.1 \
               wine-fonts:/usr/share/doc/fonts-wine/copyright \
               libjpeg-turbo:/usr/share/doc/libjpeg62-turbo/copyright \
               zlib:/usr/share/doc/libz-mingw-w64/copyright \
               CLI11:/usr/share/doc/libcli11-dev/copyright \
               mingw-w64:/usr/share/doc/mingw-w64-common/copyright \
               gcc-runtime:/usr/share/doc/gcc-mingw-w64-base/copyright; do
    windows_text "${entry#*:}" "$folder/licenses/${entry%%:*}.txt"
  done
}

# zip_folder <parent> <name> <zip>: the folder <parent>/<name> as <zip>, its entries in a
# stable order and dated SOURCE_DATE_EPOCH, so that the same files give the same archive.
zip_folder() {
  local parent=$1 name=$2 zip
  zip="$(cd "$(dirname "$3")" && pwd)/$(basename "$3")"
  rm -f "$zip"
  find "$parent/$name" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$parent" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -X -q -@ "$zip")
}

# relink_kit <folder>: what a user needs to link vexaro.exe again with a Qt of their own (the
# LGPL's condition for a statically linked Qt): the objects and libraries of the link that made
# vexaro.exe (without their debugging information), Qt's own left out, and relink.cmake, which
# repeats that link with Qt's files taken from the Qt named on its command line.
relink_kit() {
  local folder=$1 qt="$VEXARO_CACHE/mingw/qt6-static" build=build/windows-app
  local link word name skip=0
  local -a args=()
  local -A copied=()
  mkdir -p "$folder/objects"
  link=$(ninja -C "$build" -t commands src/app/vexaro.exe | tail -n 1)
  for word in $link; do
    if [ "$skip" -eq 1 ]; then
      skip=0
      continue
    fi
    case "$word" in
      :|'&&'|*-w64-mingw32-g++*|-Wl,--out-implib,*) ;;
      -o) skip=1 ;;
      "$qt"/*) args+=("\${QT}/${word#"$qt"/}") ;;
      *.obj|*.res|*.a)
        [ -f "$word" ] || word="$build/$word"
        if [ -z "${copied[$word]:-}" ]; then
          name=$(printf '%02d-%s' "$(( ${#copied[@]} + 1 ))" "$(basename "$word")")
          cp "$word" "$folder/objects/$name"
          [[ $name == *.res ]] || x86_64-w64-mingw32-strip --strip-debug "$folder/objects/$name"
          copied[$word]=$name
        fi
        args+=("\${CMAKE_CURRENT_LIST_DIR}/objects/${copied[$word]}") ;;
      *) args+=("$word") ;;
    esac
  done
  {
    echo "# Links vexaro.exe again from the objects beside this file and a static Qt 6.4 for"
    echo "# 64-bit MinGW-w64 built with the options that THIRD-PARTY.txt names:"
    echo "#   cmake -DQT=<Qt install folder> [-DCXX=<MinGW-w64 g++>] [-DOUT=vexaro.exe] -P relink.cmake"
    echo 'if(NOT QT)'
    echo '  message(FATAL_ERROR "Name the Qt install folder: -DQT=<folder>")'
    echo 'endif()'
    echo 'if(NOT CXX)'
    echo '  set(CXX x86_64-w64-mingw32-g++-posix)'
    echo 'endif()'
    echo 'if(NOT OUT)'
    echo '  set(OUT vexaro.exe)'
    echo 'endif()'
    echo 'execute_process(COMMAND ${CXX} -o ${OUT}'
    for word in "${args[@]}"; do
      echo "  \"$word\""
    done
    echo '  COMMAND_ERROR_IS_FATAL ANY)'
  } >"$folder/relink.cmake"
}

# nsis_lists <folder> <install.nsh> <uninstall.nsh>: a File line for every file under <folder>
# and the matching Delete lines, folders last, for the installer script.
nsis_lists() {
  local folder=$1 dir file rel
  : >"$2"
  : >"$3"
  while read -r dir; do
    rel=${dir#"$folder"}
    echo "SetOutPath \"\$INSTDIR${rel//\//\\}\"" >>"$2"
    while read -r file; do
      echo "File \"$PWD/$file\"" >>"$2"
      rel=${file#"$folder"/}
      echo "Delete \"\$INSTDIR\\${rel//\//\\}\"" >>"$3"
    done < <(find "$dir" -mindepth 1 -maxdepth 1 -type f | LC_ALL=C sort)
  done < <(find "$folder" -type d | LC_ALL=C sort)
  while read -r dir; do
    rel=${dir#"$folder"/}
    echo "RMDir \"\$INSTDIR\\${rel//\//\\}\"" >>"$3"
  done < <(find "$folder" -mindepth 1 -type d | LC_ALL=C sort -r)
}
