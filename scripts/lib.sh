# Shared settings of the project's scripts; source it.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The product's build (32-bit).
build=${VERRAND_BUILD:-$top/build}
export VERRAND_DEPS=${VERRAND_DEPS:-$top/.deps}

# The product is 32-bit and runs under WOW64 in a 64-bit prefix. Debian's
# Wine starts a 32-bit Windows program through its 32-bit Linux loader; on a
# machine whose kernel cannot start 32-bit Linux programs (no IA-32
# emulation), only 64-bit Windows programs run, so the tests, the demo, the
# benchmarks and the host run a 64-bit build of the same sources there.
# VERRAND_ARCH=i686 or x86_64 chooses; ask only once Wine is installed.
run_arch() {
    if [ -n "${VERRAND_ARCH:-}" ]; then
        echo "$VERRAND_ARCH"
    elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo i686
    else
        echo x86_64
    fi
}

# The build folder for an architecture: the product's, or the 64-bit one
# beside it.
build_folder() {
    if [ "$1" = i686 ]; then echo "$build"; else echo "$build-$1"; fi
}

# Wine quiet, with no menu entries and no Mono or Gecko prompts: all that
# the project sets for a prefix that is not its own. Where 32-bit programs
# cannot start, `wine` (and the tools that call it) start Wine's 64-bit
# loader directly: Debian's wrapper would pick the 32-bit one.
wine_quiet_env() {
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
    if [ "$(run_arch)" = x86_64 ]; then
        export WINELOADER=/usr/lib/wine/wine64
        case ":$PATH:" in
            *":$top/scripts/wine64:"*) ;;
            *) export PATH=$top/scripts/wine64:$PATH ;;
        esac
    fi
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

# Builds dist/ and the tests for an architecture (default i686, the product)
# into its build folder; further arguments name the only targets to build.
build_all() {
    local arch=${1:-i686} deps=$VERRAND_DEPS targets=()
    [ $# -le 1 ] || targets=(--target "${@:2}")
    [ "$arch" = i686 ] || deps=$VERRAND_DEPS/$arch
    local runs=ON
    [ "$arch" = "$(run_arch)" ] || runs=OFF
    cmake -S "$top" -B "$(build_folder "$arch")" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERRAND_DEPS="$deps" -DVERRAND_RUN_BUILT_PROGRAMS=$runs >/dev/null
    cmake --build "$(build_folder "$arch")" -j "${VERRAND_JOBS:-2}" "${targets[@]}"
}

# Installs what is missing and builds the product; where 32-bit programs
# cannot start, also the 64-bit build. Leaves `build` at the build whose
# programs run here.
build_runnable() {
    "$top/scripts/deps.sh"
    build_all i686
    local arch
    arch=$(run_arch)
    if [ "$arch" != i686 ]; then
        echo "== this machine cannot start 32-bit programs: building for $arch to run"
        "$top/scripts/deps.sh" "$arch"
        build_all "$arch"
        build=$(build_folder "$arch")
    fi
}

# The build whose programs run here, once it is built; VERRAND_BUILD, when
# set, names it as it is.
use_runnable_build() {
    [ -n "${VERRAND_BUILD:-}" ] || build=$(build_folder "$(run_arch)")
}

# A prefix of its own for a shell test of the build `build`: a copy of the
# template (make_wine_template), removed when the script ends. NAME begins
# the folder's name.
use_test_prefix() { # NAME
    wine_env
    mkdir -p "$build/wine/runs"
    export WINEPREFIX=$(mktemp -d "$build/wine/runs/$1.XXXXXX")
    cp -a "$build/wine/template/." "$WINEPREFIX/"
    trap 'wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT
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
