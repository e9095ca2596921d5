#!/usr/bin/env bash
# Builds the static Windows (x86_64-w64-mingw32, posix thread model) libraries
# the Windows build links, from Debian's own source packages, into a cache
# outside the source tree:
#
#   ${VANTELO_WIN_DEPS:-$HOME/.cache/vantelo-win-deps}/
#     include/            curl/ archive.h lzma.h pugixml.hpp zlib.h gtest/ gmock/ stb/
#     lib/                libcurl.a libarchive.a liblzma.a libpugixml.a libz.a
#                         libgtest.a libgtest_main.a libgmock.a libgmock_main.a
#     lib/cmake/GTest/    GoogleTest's package config for find_package(GTest)
#     .complete-<version> written last; its presence means the cache is usable
#
# When the stamp of this script's version is there the script returns at once.
# Bump DEPS_VERSION whenever a build option below changes, so every machine
# rebuilds its cache. Run as root on Debian 12 after scripts/setup.sh.
set -euo pipefail

DEPS_VERSION="1"
HOST=x86_64-w64-mingw32
CACHE="${VANTELO_WIN_DEPS:-$HOME/.cache/vantelo-win-deps}"
STAMP="$CACHE/.complete-$DEPS_VERSION"

if [ -f "$STAMP" ]; then
  echo "build-win-deps: cache complete: $CACHE"
  exit 0
fi

SCRIPT_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
TOOLCHAIN="$SCRIPT_DIR/../cmake/mingw-w64-x86_64.cmake"
[ -f "$TOOLCHAIN" ] || { echo "build-win-deps: missing $TOOLCHAIN" >&2; exit 1; }
TOOLCHAIN="$(cd "$(dirname "$TOOLCHAIN")" && pwd)/$(basename "$TOOLCHAIN")"

for tool in $HOST-gcc-posix $HOST-g++-posix $HOST-ar $HOST-ranlib cmake ninja make \
            apt-get dpkg-source patch flock; do
  command -v "$tool" >/dev/null || { echo "build-win-deps: $tool not found (run scripts/setup.sh)" >&2; exit 1; }
done
for f in /usr/$HOST/lib/libz.a /usr/$HOST/include/zlib.h /usr/src/googletest/CMakeLists.txt \
         /usr/include/stb/stb_image.h; do
  [ -f "$f" ] || { echo "build-win-deps: $f missing (run scripts/setup.sh)" >&2; exit 1; }
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

mkdir -p "$CACHE"
# Two builds into one cache (a developer and CI on the same machine) would
# trample each other: the second one waits, then finds the stamp.
exec 9>"$CACHE/.lock"
flock 9
if [ -f "$STAMP" ]; then
  echo "build-win-deps: cache complete: $CACHE"
  exit 0
fi

WORK="$(mktemp -d "${TMPDIR:-/tmp}/vantelo-win-deps.XXXXXX")"
ok=0
cleanup() {
  if [ "$ok" = 1 ]; then
    rm -rf "$WORK"
  else
    echo "build-win-deps: failed; sources and logs kept in $WORK" >&2
  fi
}
trap cleanup EXIT

START=$SECONDS

# run LOG CMD...: appends the command's output to LOG; on failure shows its tail.
run() {
  local log="$1"; shift
  echo "+ $*" >>"$log"
  if ! "$@" >>"$log" 2>&1; then
    echo "build-win-deps: failed: $*" >&2
    echo "---- last lines of $log ----" >&2
    tail -n 60 "$log" >&2
    exit 1
  fi
}

# require FILE PATTERN WHAT: a configure run that silently dropped a feature
# would give a library that links but cannot do its job.
require() {
  if ! grep -q "$2" "$1"; then
    echo "build-win-deps: configure did not enable $3 ($2 not in $1)" >&2
    exit 1
  fi
}

# ---------------------------------------------------------------- sources
# apt-get source needs deb-src entries. Debian 12 ships deb822 files with
# "Types: deb" only; add a twin of each with "Types: deb-src".
have_deb_src() {
  grep -qs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list && return 0
  grep -qsi '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources && return 0
  return 1
}
need_update=0
if ! have_deb_src; then
  tmp_src="$WORK/vantelo-src.sources"
  : >"$tmp_src"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # One stanza per paragraph; keep those whose Types has "deb", drop comments
    # and any "Enabled: no" stanza.
    awk '
      function flush() {
        if (n > 0 && isdeb && !disabled) { for (i = 1; i <= n; i++) print buf[i]; print "" }
        n = 0; isdeb = 0; disabled = 0
      }
      /^[[:space:]]*#/ { next }
      /^[[:space:]]*$/ { flush(); next }
      tolower($1) == "types:" {
        for (i = 2; i <= NF; i++) if ($i == "deb") isdeb = 1
        buf[++n] = "Types: deb-src"; next
      }
      tolower($1) == "enabled:" && tolower($2) == "no" { disabled = 1 }
      { buf[++n] = $0 }
      END { flush() }
    ' "$f" >>"$tmp_src"
  done
  if [ -s "$tmp_src" ]; then
    $SUDO install -m 644 "$tmp_src" /etc/apt/sources.list.d/vantelo-src.sources
  fi
  if [ -f /etc/apt/sources.list ] && grep -q '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >"$WORK/vantelo-src.list"
    $SUDO install -m 644 "$WORK/vantelo-src.list" /etc/apt/sources.list.d/vantelo-src.list
  fi
  have_deb_src || { echo "build-win-deps: could not add deb-src entries" >&2; exit 1; }
  echo "build-win-deps: added deb-src entries to apt"
  need_update=1
fi
# deb-src configured but its index never fetched (or fetched by an older run).
if [ "$need_update" = 0 ] && ! apt-cache showsrc curl 2>/dev/null | grep '^Package: curl' >/dev/null; then
  need_update=1
fi
if [ "$need_update" = 1 ]; then
  echo "build-win-deps: apt-get update"
  run "$WORK/apt.log" $SUDO apt-get update
fi

echo "build-win-deps: fetching Debian sources"
SRC="$WORK/src"
mkdir -p "$SRC"
# As root, apt would hand the download to the _apt user, who cannot write here.
(cd "$SRC" && run "$WORK/apt.log" $SUDO apt-get source -o APT::Sandbox::User=root \
   curl xz-utils libarchive pugixml)
if [ -n "$SUDO" ]; then $SUDO chown -R "$(id -u):$(id -g)" "$SRC"; fi
srcdir() {  # srcdir PACKAGE -> the one unpacked tree of PACKAGE
  local d
  d="$(find "$SRC" -mindepth 1 -maxdepth 1 -type d -name "$1-*" -print -quit)"
  [ -n "$d" ] || { echo "build-win-deps: no unpacked source for $1" >&2; exit 1; }
  echo "$d"
}
srcver() {  # srcver PACKAGE -> Debian version of the downloaded .dsc
  local f
  f="$(find "$SRC" -maxdepth 1 -name "$1_*.dsc" -print -quit)"
  basename "$f" .dsc | sed "s/^$1_//"
}
CURL_SRC="$(srcdir curl)"
XZ_SRC="$(srcdir xz-utils)"
ARCHIVE_SRC="$(srcdir libarchive)"
PUGI_SRC="$(srcdir pugixml)"
echo "build-win-deps: sources fetched in $((SECONDS - START))s"

# ---------------------------------------------------------------- common
# Start from an empty cache: a half-finished or older build leaves nothing behind.
rm -rf "$CACHE/include" "$CACHE/lib" "$CACHE/bin" "$CACHE/share"
rm -f "$CACHE"/.complete-*
mkdir -p "$CACHE/include" "$CACHE/lib"

JOBS="$(nproc)"
export CC="$HOST-gcc-posix" CXX="$HOST-g++-posix" AR="$HOST-ar" RANLIB="$HOST-ranlib"
export CFLAGS="-O2" CXXFLAGS="-O2"
# Same minimum Windows as the application itself (Windows 7), so no library
# pulls in an API that the .exe could not load there.
export CPPFLAGS="-I$CACHE/include -D_WIN32_WINNT=0x0601"
export LDFLAGS="-L$CACHE/lib"
# Never let a configure script find the build machine's own Linux libraries.
export PKG_CONFIG_LIBDIR="$CACHE/lib/pkgconfig" PKG_CONFIG_PATH=""
CONFIGURE_COMMON=(--host="$HOST" --prefix="$CACHE" --enable-static --disable-shared
                  --disable-dependency-tracking)

# zlib: Debian's mingw build, copied so that every library and the application
# link the very same static libz.a (Wine's own zlib1.dll would otherwise hide
# a dynamic dependency that Windows does not have).
cp /usr/$HOST/lib/libz.a "$CACHE/lib/"
cp /usr/$HOST/include/zlib.h /usr/$HOST/include/zconf.h "$CACHE/include/"

# stb: header-only, Debian's copy.
mkdir -p "$CACHE/include/stb"
cp /usr/include/stb/*.h "$CACHE/include/stb/"

# Each builder runs in its own subshell; "run" and "require" end only that one.
build_liblzma() {
  local t=$SECONDS B="$WORK/build-xz" L="$WORK/xz.log"
  echo "build-win-deps: liblzma (xz-utils $(srcver xz-utils)) started"
  mkdir -p "$B"
  # Only the library: its subdirectory builds without the po/ and man page rules.
  (cd "$B" && run "$L" "$XZ_SRC/configure" "${CONFIGURE_COMMON[@]}" \
     --enable-threads=vista --disable-xz --disable-xzdec --disable-lzmadec \
     --disable-lzmainfo --disable-lzma-links --disable-scripts --disable-doc --disable-nls)
  run "$L" make -C "$B/src/liblzma" -j"$JOBS"
  run "$L" make -C "$B/src/liblzma" install
  echo "build-win-deps: liblzma done in $((SECONDS - t))s"
}

build_libcurl() {
  local t=$SECONDS B="$WORK/build-curl" L="$WORK/curl.log" p
  echo "build-win-deps: libcurl (curl $(srcver curl)) started"
  # Debian's series ends with two patches that rename the library for its
  # GnuTLS and NSS flavours; take them off again to build the plain libcurl.
  for p in 99_nss.patch 90_gnutls.patch; do
    if [ -f "$CURL_SRC/debian/patches/$p" ] &&
       (cd "$CURL_SRC" && patch -R -p1 -s -f --dry-run <"debian/patches/$p" >/dev/null 2>&1); then
      (cd "$CURL_SRC" && run "$L" patch -R -p1 -f -i "debian/patches/$p")
    fi
  done
  mkdir -p "$B"
  # Schannel TLS, no OpenSSL. --disable-pthreads puts the threaded resolver on
  # Win32 threads, so libcurl needs nothing from winpthread. HTTP(S) and
  # file:// only.
  (cd "$B" && run "$L" "$CURL_SRC/configure" "${CONFIGURE_COMMON[@]}" \
     --disable-maintainer-mode --with-schannel \
     --with-zlib="$CACHE" --enable-threaded-resolver --disable-pthreads \
     --enable-ipv6 --enable-sspi \
     --disable-ftp --disable-ldap --disable-ldaps --disable-rtsp --disable-dict \
     --disable-telnet --disable-tftp --disable-pop3 --disable-imap --disable-smb \
     --disable-smtp --disable-gopher --disable-mqtt --disable-ntlm-wb \
     --disable-manual --disable-libcurl-option \
     --without-libpsl --without-brotli --without-zstd --without-nghttp2 \
     --without-ngtcp2 --without-nghttp3 --without-quiche --without-msh3 \
     --without-libidn2 --without-winidn --without-libssh2 --without-libssh \
     --without-wolfssh --without-librtmp --without-libgsasl --without-hyper \
     --without-ca-bundle --without-ca-path \
     --without-zsh-functions-dir --without-fish-functions-dir)
  require "$B/lib/curl_config.h" '^#define USE_SCHANNEL 1' "Schannel"
  require "$B/lib/curl_config.h" '^#define HAVE_LIBZ 1' "zlib"
  require "$B/lib/curl_config.h" '^#define USE_THREADS_WIN32 1' "the Win32 threaded resolver"
  run "$L" make -C "$B/lib" -j"$JOBS"
  run "$L" make -C "$B/lib" install
  run "$L" make -C "$B/include" install
  echo "build-win-deps: libcurl done in $((SECONDS - t))s"
}

build_libarchive() {  # needs liblzma in the cache
  local t=$SECONDS B="$WORK/build-libarchive" L="$WORK/libarchive.log"
  echo "build-win-deps: libarchive ($(srcver libarchive)) started"
  mkdir -p "$B"
  # The installer only reads a 7z (LZMA2) archive from memory: zlib and
  # liblzma, nothing else. CNG (bcrypt) stays on for the digests on Windows.
  (cd "$B" && CPPFLAGS="$CPPFLAGS -DLZMA_API_STATIC" run "$L" "$ARCHIVE_SRC/configure" \
     "${CONFIGURE_COMMON[@]}" --disable-maintainer-mode \
     --disable-bsdtar --disable-bsdcat --disable-bsdcpio --disable-acl --disable-xattr \
     --with-zlib --with-lzma --without-bz2lib --without-libb2 --without-iconv \
     --without-lz4 --without-zstd --without-lzo2 --without-mbedtls --without-nettle \
     --without-openssl --without-xml2 --without-expat)
  require "$B/config.h" '^#define HAVE_LZMA_H 1' "liblzma"
  require "$B/config.h" '^#define HAVE_LIBLZMA 1' "liblzma"
  require "$B/config.h" '^#define HAVE_ZLIB_H 1' "zlib"
  run "$L" make -C "$B" -j"$JOBS"
  run "$L" make -C "$B" install
  echo "build-win-deps: libarchive done in $((SECONDS - t))s"
}

build_pugixml() {
  local t=$SECONDS B="$WORK/build-pugixml" L="$WORK/pugixml.log"
  echo "build-win-deps: pugixml ($(srcver pugixml)) started"
  run "$L" cmake -S "$PUGI_SRC" -B "$B" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$CACHE" -DCMAKE_INSTALL_LIBDIR=lib \
    -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF
  run "$L" cmake --build "$B" -j "$JOBS"
  run "$L" cmake --install "$B"
  echo "build-win-deps: pugixml done in $((SECONDS - t))s"
}

build_googletest() {
  local t=$SECONDS B="$WORK/build-googletest" L="$WORK/googletest.log"
  echo "build-win-deps: GoogleTest + GoogleMock (googletest $GTEST_VER) started"
  # On MinGW gtest synchronises through Win32 mutexes, so it stays thread-safe;
  # gtest_disable_pthreads=OFF only spells out the default.
  run "$L" cmake -S /usr/src/googletest -B "$B" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$CACHE" -DCMAKE_INSTALL_LIBDIR=lib \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF
  run "$L" cmake --build "$B" -j "$JOBS"
  run "$L" cmake --install "$B"
  echo "build-win-deps: GoogleTest done in $((SECONDS - t))s"
}

# Most of the time goes into configure scripts, which run one compiler at a
# time; three independent chains side by side keep both cores busy.
GTEST_VER="$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo unknown)"
( build_liblzma; build_libarchive ) & chain_archive=$!
( build_libcurl ) & chain_curl=$!
( build_pugixml; build_googletest ) & chain_cxx=$!
failed=0
wait "$chain_archive" || failed=1
wait "$chain_curl" || failed=1
wait "$chain_cxx" || failed=1
[ "$failed" = 0 ] || exit 1

# ---------------------------------------------------------------- finish
# Static archives only: no import libraries, libtool files or programs.
find "$CACHE/lib" -maxdepth 1 \( -name '*.la' -o -name '*.dll.a' -o -name '*.dll' \) -delete
rm -rf "$CACHE/bin" "$CACHE/share"
for a in libz libcurl liblzma libarchive libpugixml libgtest libgtest_main libgmock libgmock_main; do
  [ -f "$CACHE/lib/$a.a" ] || { echo "build-win-deps: $a.a was not installed" >&2; exit 1; }
done
[ -f "$CACHE/lib/cmake/GTest/GTestConfig.cmake" ] ||
  { echo "build-win-deps: GTest package config was not installed" >&2; exit 1; }

{
  echo "version $DEPS_VERSION"
  echo "curl $(srcver curl)"
  echo "xz-utils $(srcver xz-utils)"
  echo "libarchive $(srcver libarchive)"
  echo "pugixml $(srcver pugixml)"
  echo "googletest $GTEST_VER"
  echo "zlib $(dpkg-query -W -f='${Version}' libz-mingw-w64-dev 2>/dev/null || echo unknown)"
} >"$STAMP.tmp"
mv "$STAMP.tmp" "$STAMP"
ok=1
echo "build-win-deps: all done in $((SECONDS - START))s"
echo "build-win-deps: cache complete: $CACHE"
