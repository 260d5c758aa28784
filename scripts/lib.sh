# Shared settings of the project's scripts; source it.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VERRAND_BUILD:-$top/build}
export VERRAND_DEPS=${VERRAND_DEPS:-$top/.deps}

# Wine: 64-bit prefix (the 32-bit DLL runs under WOW64), quiet, no menu
# entries, no Mono or Gecko prompts, and a home inside the build tree so that
# the prefix's Desktop and Documents never reach the real home folder.
wine_env() {
    export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
    export HOME=$build/home XDG_CONFIG_HOME=$build/home/.config XDG_DATA_HOME=$build/home/.local/share
    export XDG_CACHE_HOME=$build/home/.cache TMPDIR=$build/tmp
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$TMPDIR"
}

# Builds dist/ and the tests.
build_all() {
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERRAND_DEPS="$VERRAND_DEPS" >/dev/null
    cmake --build "$build" -j "${VERRAND_JOBS:-2}"
}

# A prefix made once per build tree; every test run copies it.
make_wine_template() {
    wine_env
    local template=$build/wine/template
    if [ ! -f "$template/.ready" ]; then
        echo "== making the Wine prefix template"
        rm -rf "$template"
        mkdir -p "$template"
        WINEPREFIX=$template wineboot -i >/dev/null 2>&1
        WINEPREFIX=$template wineserver -w
        touch "$template/.ready"
    fi
}
