#!/bin/sh
# Runs a Windows program of this build under wine64, in a Wine prefix and HOME of the
# build's own (build/<preset>/wine), never the user's. CTest uses it as the
# cross-compiling emulator; it also works by hand: cmake/wine-run.sh build/win64/bin/x.exe
# The environment itself is set up by scripts/wine-env.sh, shared with scripts/test.sh.
set -eu
exe=$1
bin_dir=$(cd "$(dirname "$exe")" && pwd)
. "$(cd "$(dirname "$0")/.." && pwd)/scripts/wine-env.sh"
qarn_wine_env "${QARN_WINE_ROOT:-$(dirname "$bin_dir")/wine}"
qarn_wine_prefix_init
exec "$QARN_WINE_LOADER" "$@"
