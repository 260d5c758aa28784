# Shared settings of the project's scripts; source it.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VERRAND_BUILD:-$top/build}
export VERRAND_DEPS=${VERRAND_DEPS:-$top/.deps}

# Wine quiet, with no menu entries and no Mono or Gecko prompts: all that
# the project sets for a prefix that is not its own.
wine_quiet_env() {
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
}

# Wine for the project's own prefixes: 64-bit (the 32-bit DLL runs under
# WOW64), quiet, and a home inside the build tree so that the prefix's
# Desktop and Documents never reach the real home folder. TMPDIR is part of
# it: the wineserver of a prefix is found under $TMPDIR, so every script and
# test that starts Wine on one of these prefixes calls wine_env (same
# build, same TMPDIR) and never mixes it with another TMPDIR.
wine_env() {
    wine_quiet_env
    export WINEARCH=win64
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
