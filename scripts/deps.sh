#!/usr/bin/env bash
# Installs the build and run dependencies (Debian 12, as root) and builds the
# ones Debian only ships for Linux (Poco Foundation, GoogleTest) with the mingw
# cross-compiler into a cache folder. Safe to run again: each step is skipped
# when its result is already there.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The argument names the Windows architecture to build the dependencies for:
# i686 (the default; the product) or x86_64 (the build the tests run on a
# machine that cannot start 32-bit programs), which gets a folder of its own.
arch=${1:-i686}
case "$arch" in
  i686) ;;
  x86_64) ;;
  *) echo "deps.sh: unknown architecture $arch (i686 or x86_64)" >&2; exit 2 ;;
esac
# VERRAND_DEPS lets several work trees share one dependency cache.
deps=${VERRAND_DEPS:-$top/.deps}
[ "$arch" = i686 ] || deps=$deps/$arch
mkdir -p "$deps"

need_apt=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# The 64-bit C compiler builds the 64-bit copy of a test probe program.
packages=(wine wine64 wine32:i386 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix cmake ninja-build make
          libboost-dev librapidxml-dev googletest nlohmann-json3-dev wixl msitools
          dpkg-dev xz-utils python3 openssl osslsigncode nsis)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
for p in "${packages[@]}"; do have "$p" || need_apt+=("$p"); done
src_list=/etc/apt/sources.list.d/verrand-src.sources
if [ ! -f "$src_list" ]; then
  cat > "$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  apt_update_needed=1
fi
if [ ${#need_apt[@]} -gt 0 ] || [ -n "${apt_update_needed:-}" ]; then
  echo "== installing: ${need_apt[*]:-(source list only)}"
  export DEBIAN_FRONTEND=noninteractive
  # A mirror being synced fails the update now and then: try again, and go
  # on with what was fetched when it keeps failing (the install then tells).
  for attempt in 1 2 3 4 5; do
    apt-get update -qq && break
    echo "== apt-get update failed (attempt $attempt); trying again in 15 s" >&2
    sleep 15
  done
  if [ ${#need_apt[@]} -gt 0 ]; then
    # With the security archive's index of one architecture missing, its
    # newer versions of the other cannot sit beside the 32-bit Wine's
    # libraries: then install bookworm's own versions of both.
    apt-get install -y -qq --no-install-recommends "${need_apt[@]}" >/dev/null ||
      { echo "== installing bookworm's own versions instead" >&2
        apt-get install -y -qq --no-install-recommends -t bookworm "${need_apt[@]}" >/dev/null; }
  fi
fi

jobs=${VERRAND_JOBS:-2}

# Poco includes some Windows headers with capital letters; the cross-compiler
# gets a folder of lower-case links (and the header-only libraries below).
mkdir -p "$deps/include"
for h in Winsock2.h WinSock2.h Iphlpapi.h IPHlpApi.h WS2tcpip.h Ws2tcpip.h; do
  ln -sf "/usr/$arch-w64-mingw32/include/$(echo "$h" | tr 'A-Z' 'a-z')" "$deps/include/$h"
done
toolchain=$top/cmake/mingw-$arch.cmake

# Builds Poco Foundation from Debian's source with the mingw toolchain:
# only Foundation, into $deps/<name> (source in <name>-src, build in
# <name>-build); the second argument is ON for a DLL, OFF for a static
# library.
build_poco() {
  local name=$1 shared=$2
  rm -rf "$deps/$name-src" "$deps/$name-build" "$deps/$name"
  mkdir -p "$deps/$name-src"
  (cd "$deps/$name-src" && apt-get source -qq --download-only poco >/dev/null 2>&1 || apt-get source --download-only poco)
  local orig
  orig=$(ls "$deps/$name-src"/poco_*.orig.tar.* | head -n1)
  mkdir -p "$deps/$name-src/tree"
  tar -xf "$orig" -C "$deps/$name-src/tree" --strip-components=1
  local inc=$deps/include
  # Reproducible like the product: no link time in the DLL and no path of
  # the cache folder in its code.
  local flags="-I$inc -ffile-prefix-map=$deps=deps"
  cmake -S "$deps/$name-src/tree" -B "$deps/$name-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps/$name" -DBUILD_SHARED_LIBS="$shared" \
    -DCMAKE_MC_COMPILER="/usr/bin/$arch-w64-mingw32-windmc" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS=-Wl,--no-insert-timestamp \
    -DENABLE_FOUNDATION=ON -DENABLE_XML=OFF -DENABLE_JSON=OFF -DENABLE_NET=OFF \
    -DENABLE_NETSSL=OFF -DENABLE_CRYPTO=OFF -DENABLE_JWT=OFF -DENABLE_DATA=OFF \
    -DENABLE_DATA_SQLITE=OFF -DENABLE_DATA_MYSQL=OFF -DENABLE_DATA_POSTGRESQL=OFF \
    -DENABLE_DATA_ODBC=OFF -DENABLE_MONGODB=OFF -DENABLE_REDIS=OFF -DENABLE_PDF=OFF \
    -DENABLE_UTIL=OFF -DENABLE_ZIP=OFF -DENABLE_SEVENZIP=OFF -DENABLE_APACHECONNECTOR=OFF \
    -DENABLE_CPPPARSER=OFF -DENABLE_ENCODINGS=OFF -DENABLE_ENCODINGS_COMPILER=OFF \
    -DENABLE_PAGECOMPILER=OFF -DENABLE_PAGECOMPILER_FILE2PAGE=OFF -DENABLE_POCODOC=OFF \
    -DENABLE_TESTS=OFF -DENABLE_ACTIVERECORD=OFF -DENABLE_ACTIVERECORD_COMPILER=OFF \
    -DENABLE_PROMETHEUS=OFF -DENABLE_NETSSL_WIN=OFF -DPOCO_UNBUNDLED=OFF >/dev/null
  cmake --build "$deps/$name-build" -j "$jobs" >/dev/null
  cmake --install "$deps/$name-build" >/dev/null
}

# What the Poco builds are made by (the build function and the static
# archive's step below). A cached build of an older recipe is built again,
# so a cache never keeps a Poco that the recipe would no longer make (one
# with a link time in it, say, which a release must not ship).
poco_recipe=$({ declare -f build_poco; sed -n '/^# Poco Foundation again/,/^fi$/p' "${BASH_SOURCE[0]}"; } |
  sha256sum | cut -c1-16)
current() { [ "$(cat "$1/.recipe" 2>/dev/null)" = "$poco_recipe" ]; }

# Poco Foundation as a DLL.
if [ ! -f "$deps/poco/bin/libPocoFoundation.dll" ] || ! current "$deps/poco"; then
  echo "== building Poco Foundation for mingw $arch"
  build_poco poco ON
  rm -rf "$deps/poco-static"
  echo "$poco_recipe" >"$deps/poco/.recipe"
fi

# Poco Foundation again as a static library, for the custom-action DLL that
# Windows Installer runs from a temporary copy with no DLLs beside it. Built
# into a folder of its own; the shared build above stays untouched. With
# mingw, Poco's own sources mark nothing for export (Foundation.h decides
# before any runtime header defines _DLL, so there is no POCO_DLL; the DLL
# exports everything by default), so the objects compiled for the DLL are
# the objects of a static library: they are archived as they are when the
# shared build's folder still holds them, else compiled again.
poco_objects=$deps/poco-build/Foundation/CMakeFiles/Foundation.dir
if [ ! -f "$deps/poco-static/lib/libPocoFoundation.a" ] || ! current "$deps/poco-static"; then
  echo "== building Poco Foundation for mingw $arch (static)"
  if [ -f "$poco_objects/src/Logger.cpp.obj" ]; then
    rm -rf "$deps/poco-static"
    mkdir -p "$deps/poco-static/lib"
    find "$poco_objects" -name '*.obj' | LC_ALL=C sort | xargs "$arch-w64-mingw32-ar" rcsD "$deps/poco-static/lib/libPocoFoundation.a"
  else
    build_poco poco-static OFF
  fi
  echo "$poco_recipe" >"$deps/poco-static/.recipe"
fi

# GoogleTest from Debian's sources.
if [ ! -f "$deps/gtest/lib/libgtest.a" ]; then
  echo "== building GoogleTest for mingw $arch"
  rm -rf "$deps/gtest-build"
  cmake -S /usr/src/googletest -B "$deps/gtest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps/gtest" -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$deps/gtest-build" -j "$jobs" >/dev/null
  cmake --install "$deps/gtest-build" >/dev/null
fi

# Header-only libraries, behind a folder of their own so the cross-compiler
# never sees the host's /usr/include.
ln -sfn /usr/include/boost "$deps/include/boost"
ln -sfn /usr/include/rapidxml "$deps/include/rapidxml"
ln -sfn /usr/include/nlohmann "$deps/include/nlohmann"
echo "== dependencies ready in $deps"
