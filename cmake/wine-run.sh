#!/bin/sh
# Runs a Windows program of this build under Wine, in a Wine prefix and HOME of the build's
# own (build/<preset>/wine), never the user's. CTest uses it as the cross-compiling
# emulator; it also works by hand:
#   cmake/wine-run.sh build/win64/bin/x.exe ...           a 64-bit Windows (wine64)
#   cmake/wine-run.sh --win32 build/win32/bin/x.exe ...   a 32-bit Windows (wine32:i386)
# The environment itself is set up by scripts/wine-env.sh, shared with scripts/test.sh.
set -eu
arch=win64
if [ "${1:-}" = --win32 ]; then
  arch=win32
  shift
fi
exe=$1
bin_dir=$(cd "$(dirname "$exe")" && pwd)
. "$(cd "$(dirname "$0")/.." && pwd)/scripts/wine-env.sh"
qarn_wine_env "${QARN_WINE_ROOT:-$(dirname "$bin_dir")/wine}" "$arch"
qarn_wine_prefix_init
exec "$QARN_WINE_LOADER" "$@"
