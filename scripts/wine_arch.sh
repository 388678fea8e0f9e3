#!/usr/bin/env bash
# Which Wine this machine can run the setup in, decided once by test.sh and
# run.sh: prints "32" or "64", a space, and why. The 32-bit Wine (with the
# windows build) where its loader, a 32-bit program, runs; else the 64-bit
# Wine with the windows64 build of the same sources. SETUP_WINE_ARCH=32 or
# =64 forces the choice.
set -u
loader32=/usr/lib/wine/wine
loader64=/usr/lib/wine/wine64

case "${SETUP_WINE_ARCH:-}" in
    32|64) echo "$SETUP_WINE_ARCH forced by SETUP_WINE_ARCH"; exit 0 ;;
    "") ;;
    *) echo "SETUP_WINE_ARCH must be 32 or 64, not '$SETUP_WINE_ARCH'" >&2; exit 2 ;;
esac
if "$loader32" --version >/dev/null 2>&1; then
    echo "32 the 32-bit Wine runs here"
    exit 0
fi
why=$("$loader32" --version 2>&1 >/dev/null | tail -n 1)
if "$loader64" --version >/dev/null 2>&1; then
    echo "64 this machine cannot run the 32-bit Wine (${why##*: })"
    exit 0
fi
echo "no Wine runs here: $loader32 and $loader64 both fail" >&2
exit 1
